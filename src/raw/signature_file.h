#pragma once
// Reading signature files: the default "FileSetting.txt" beside the programs and files the user
// made with the signature editor.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui_sink.h"
#include "raw/signature_record.h"

namespace vdrec::raw {

inline constexpr std::string_view kDefaultSignatureFileName = "FileSetting.txt";
inline constexpr std::string_view kNotValidSignatureFile = "Please select a valid file..";
inline constexpr std::string_view kCannotOpenSignatureFile = "Cannot open the selected file";
// No signature to carve with: neither the default file nor the user's gave one.
inline constexpr std::string_view kEnterSignatureFile = "Enter the info file first..";
// Longest file read: 1 MiB of records plus the record that starts at its end.
inline constexpr uint64_t kMaxSignatureFileBytes = (1u << 20) + kSignatureRecordSize;

// The default signature file: "FileSetting.txt" in the folder of the running program.
std::string defaultSignaturePath();

enum class SignatureFileRole { Default, User };

// Every record of the file, counted by the file's length; nullopt after the message of the
// failure. A file not made of whole records, too long, or with a record whose size field is wider
// than 8 bytes is "Please select a valid file..".
std::optional<std::vector<SignatureRecord>> readSignatureFile(const std::string& path, SignatureFileRole role,
                                                              platform::UiSink& sink);

// Both paths name the same file (the same device and inode), however spelled.
bool sameFile(const std::string& a, const std::string& b);

// The signatures to carve with: the default file when `defaultPath` is not empty, then the user
// file when `userPath` is not empty and is not the default file again.
struct LoadedSignatures {
    std::vector<SignatureRecord> records;
    bool defaultInvalid = false;  // the page clears its default path
    bool userFailed = false;
};
LoadedSignatures loadSignatureFiles(const std::string& defaultPath, const std::string& userPath,
                                    platform::UiSink& sink);

}  // namespace vdrec::raw
