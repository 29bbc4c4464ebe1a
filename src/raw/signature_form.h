#pragma once
// The signature editor's "Save": the form's texts turned into one record appended to a file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui_sink.h"
#include "raw/signature_record.h"

namespace vdrec::raw {

inline constexpr std::string_view kSelectFileToSave = "Select valid file to save the entries.";
inline constexpr std::string_view kExtensionEmpty = "extention length is zero..";
inline constexpr std::string_view kSignatureEmpty = "signature length is zero..";
inline constexpr std::string_view kSignatureSaved = "everything initialized well.....";
inline constexpr std::string_view kSignatureTooLong = "A signature holds at most 10 bytes.";
inline constexpr std::string_view kSignatureNotHex =
    "Enter the signature as hexadecimal bytes separated by commas, for example 0x89,0x50,0x4E,0x47.";
inline constexpr std::string_view kSignatureFileNotCreated = "File can not be created";

// The editor's fields as typed.
struct SignatureForm {
    std::string extension;
    std::string startSignature;   // "0x89,0x50,0x4E,0x47" or "FF,D8,FF"
    std::string startOffset;      // decimal
    std::string endSignature;     // optional
    std::string sizeFieldOffset;  // decimal; empty or 0: no size field
    std::string sizeFieldWidth;
    bool sizeIncludesHeader = false;
    std::string headerSize;
    std::string skipSize;
    std::string approximateSize;
    std::string category;
};

// Hexadecimal bytes separated by commas ("0x" prefix optional); nullopt when a piece is not hex.
// An empty text gives no bytes.
std::optional<std::vector<uint8_t>> parseSignatureBytes(std::string_view text);
// A decimal field: empty or invalid text gives 0.
int64_t decimalField(std::string_view text);

// The record the form describes (its index still 0); nullopt after the message of the failure.
std::optional<SignatureRecord> recordFromForm(const SignatureForm& form, platform::UiSink& sink);

// "..." of the editor: creates `path` or empties it. False when it cannot be written.
bool createSignatureFile(const std::string& path);

// "Save": appends the form's record to the file at `path` with the index the file's length
// gives, then "everything initialized well.....". False after the message of a failure.
bool appendSignature(const std::string& path, const SignatureForm& form, platform::UiSink& sink);

}  // namespace vdrec::raw
