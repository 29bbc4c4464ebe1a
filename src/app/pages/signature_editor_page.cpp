#include "app/pages/signature_editor_page.h"

namespace vdrec::app {

std::string_view fieldLabel(SignatureField field) {
    switch (field) {
        case SignatureField::Extension: return "File Extention :";
        case SignatureField::StartSignature: return "Starting Signature :";
        case SignatureField::StartOffset: return "Starting Signature Offset:";
        case SignatureField::EndSignature: return "Ending Signature :";
        case SignatureField::SizeFieldOffset: return "Offset to Size Byte :";
        case SignatureField::SizeFieldWidth: return "Number Of Bytes In Size :";
        case SignatureField::SizeIncludesHeader: return "Size includes header size";
        case SignatureField::HeaderSize: return "Header size :";
        case SignatureField::SkipSize: return "Size_to_skip_WhileParsing :";
        case SignatureField::ApproximateSize: return "Approx file size :";
        case SignatureField::Category: return "Put Under Category :";
    }
    return {};
}

std::string_view fieldHelp(SignatureField field) {
    switch (field) {
        case SignatureField::Extension:
            return "Enter file extention .\n Example 'jpg','mp3','avi',..etc.\n Do not put a dot(.) before extention(i.e .mp3)";
        case SignatureField::StartSignature:
            return "here enter the file signature that happens to be in the starting of the file.\n example 0x89,0x50,0x4E,0x47  for png File";
        case SignatureField::StartOffset:
            return "Here enter offset of starting signature in File.Value should be less than 512.By default its zero.";
        case SignatureField::EndSignature:
            return "here enter the file signature that happens to be in the end of the file.\n Example "
                   "0x49,0x45,0x4E,0x44,0xAE,0x42,0x60,0x82 for png File.\n its optional Field .you can leave it if you dont know .";
        case SignatureField::SizeFieldOffset:
            return "if  the size of file is given in the header and you know its offset please enter that offset here.\n its "
                   "optional Field .you can leave it if you don't know.";
        case SignatureField::SizeFieldWidth:
            return "if  you know how many bytes represents size please enter that number of bytes  here.\n its optional Field "
                   ".you can leave it ifyou  don't know.";
        case SignatureField::SizeIncludesHeader:
            return "check this checkbox if the size alkso includes the header size else leave it.\n its optional Field .you "
                   "can leave it if you don't know.";
        case SignatureField::HeaderSize:
            return "please enter the header size in bytes here.\n its optional Field .you can leave it if you don't know.";
        case SignatureField::SkipSize:
            return "when we find the file signature you mentioned  above we can skip further file scanning by an amount you "
                   "enter here.\n For example mp3 are generally greater then 2 mb .so you can enter 2097152 bytes here.\n its "
                   "optional Field .you can leave it .";
        case SignatureField::ApproximateSize:
            return "Enter approx file size here.\n its optional Field .you can leave it if you don't know.";
        case SignatureField::Category: return "Enter the name of category you want to put these files under";
    }
    return {};
}

void SignatureEditorPage::fileChosen(const std::optional<std::string>& path) {
    if (!path) {
        sink_.message(raw::kSignatureFileNotCreated);
        return;
    }
    // Records are appended to the file from here on; a file that cannot be written is not shown.
    if (raw::createSignatureFile(*path)) filePath = *path;
}

bool SignatureEditorPage::save() { return raw::appendSignature(filePath, form, sink_); }

}  // namespace vdrec::app
