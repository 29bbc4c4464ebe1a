// The ext parser over an in-memory volume: superblock search, descriptors, inode tables,
// directories, list texts and saving.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/ext/ext_adapter.h"
#include "fs/ext/ext_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    static const std::string out = "/tmp/vdrec-fuzz-ext-" + std::to_string(::getpid());
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader(state, sink);
    if (!reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
        return 0;
    fs::ext::ExtVolume parser(sink);
    parser.attachVolume(reader, 0, "1");
    if (!parser.findSuperblock() || !parser.loadGroupDescriptors()) return 0;
    parser.readInodeTables();
    parser.readDirectories();
    parser.keepNamedRecords();
    parser.linkRecords();
    fs::ext::ExtAdapter adapter(parser);
    size_t visited = 0;
    std::vector<fs::EntryRef> pending(adapter.rootLevel());
    while (!pending.empty() && visited++ < 512) {
        const fs::EntryRef entry = pending.back();
        pending.pop_back();
        if (!adapter.isValid(entry)) continue;
        adapter.listTexts(entry);
        adapter.name(entry);
        if (adapter.saveKind(entry) == fs::SaveKind::File) {
            ::unlink(out.c_str());
            adapter.saveFile(entry, out);
            adapter.readData(entry, 1 << 16);
        }
        size_t children = 0;
        for (fs::EntryRef child = adapter.firstChild(entry); child != fs::kNoEntry && children++ < 64;
             child = adapter.nextSibling(child))
            pending.push_back(child);
    }
    ::unlink(out.c_str());
    return 0;
}
