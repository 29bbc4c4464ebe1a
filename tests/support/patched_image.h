#pragma once
// A fixture image copied into a scratch folder so that a test can patch header fields before
// the reader opens it.

#include <gtest/gtest.h>

#include <memory>

#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::test {

template <typename Reader>
class PatchedImage : public ::testing::Test {
protected:
    void load(const std::string& fixtureName, const std::string& copyName) {
        image_ = readFile(fixture(fixtureName));
        copyName_ = copyName;
    }

    bool openPatched() {
        writeFile(dir_.file(copyName_), image_);
        reader_ = std::make_unique<Reader>(state_, sink_);
        return reader_->open(dir_.file(copyName_));
    }

    std::vector<uint8_t> image_;
    std::string copyName_;
    TempDir dir_;
    image::WizardState state_;
    platform::RecordingSink sink_;
    std::unique_ptr<Reader> reader_;
};

}  // namespace vdrec::test
