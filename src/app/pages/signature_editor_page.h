#pragma once
// The signature editor ("Setting") without its window: the form of one signature, the file it
// is appended to, and the help text of each field. Opened modally from the raw recovery page;
// its view is apps/gui/signature_editor_page.h.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/page_texts.h"
#include "platform/ui_sink.h"
#include "raw/signature_form.h"

namespace vdrec::app {

enum class SignatureField {
    Extension,
    StartSignature,
    StartOffset,
    EndSignature,
    SizeFieldOffset,
    SizeFieldWidth,
    SizeIncludesHeader,
    HeaderSize,
    SkipSize,
    ApproximateSize,
    Category,
};

// The label of each field as the window shows it, and the help its button gives.
std::string_view fieldLabel(SignatureField field);
std::string_view fieldHelp(SignatureField field);

class SignatureEditorPage {
public:
    explicit SignatureEditorPage(platform::UiSink& sink) : sink_(sink) {}

    // "...": the path the save-file dialog confirmed, or nullopt when it was cancelled. The file
    // is created or emptied, and its path shown; a file that cannot be written shows nothing.
    void fileChosen(const std::optional<std::string>& path);
    // "Save": appends the form as one record; true when it was written.
    bool save();

    std::string title{kSignatureEditorTitle};
    raw::SignatureForm form;
    std::string filePath;  // the path field; empty until a file was chosen

private:
    platform::UiSink& sink_;
};

}  // namespace vdrec::app
