#include "raw/signature_form.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vdrec::raw {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::vector<uint8_t>> parseSignatureBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    if (trimmed(text).empty()) return bytes;
    while (true) {
        const auto comma = text.find(',');
        std::string_view piece = trimmed(text.substr(0, comma));
        if (piece.size() >= 2 && piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X')) piece.remove_prefix(2);
        uint64_t value = 0;
        const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value, 16);
        if (piece.empty() || error != std::errc() || end != piece.data() + piece.size()) return std::nullopt;
        // The low byte, as the editor always stored it.
        bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return bytes;
}

int64_t decimalField(std::string_view text) {
    text = trimmed(text);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

std::optional<SignatureRecord> recordFromForm(const SignatureForm& form, platform::UiSink& sink) {
    SignatureRecord record;
    std::string extension(trimmed(form.extension));
    if (extension.empty()) {
        sink.message(kExtensionEmpty);
        return std::nullopt;
    }
    const auto start = parseSignatureBytes(form.startSignature);
    const auto end = parseSignatureBytes(form.endSignature);
    if (!start || !end) {
        sink.message(kSignatureNotHex);
        return std::nullopt;
    }
    if (start->empty()) {
        sink.message(kSignatureEmpty);
        return std::nullopt;
    }
    if (start->size() > kMaxSignatureBytes || end->size() > kMaxSignatureBytes) {
        sink.message(kSignatureTooLong);
        return std::nullopt;
    }
    record.extension = cutToUtf16Units(extension, kMaxExtensionUnits);
    record.extensionLength = static_cast<uint8_t>(std::min<size_t>(utf16Units(extension), 0xFF));
    std::copy(start->begin(), start->end(), record.startSignature.begin());
    std::copy(end->begin(), end->end(), record.endSignature.begin());
    record.startLength = static_cast<uint8_t>(start->size());
    record.endLength = static_cast<uint8_t>(end->size());
    record.startOffset = static_cast<int16_t>(decimalField(form.startOffset));
    const int64_t sizeOffset = decimalField(form.sizeFieldOffset);
    record.sizeFieldOffset = sizeOffset != 0 ? static_cast<int32_t>(sizeOffset) : -1;
    record.sizeFieldWidth = static_cast<int32_t>(decimalField(form.sizeFieldWidth));
    record.headerSize = static_cast<int32_t>(decimalField(form.headerSize));
    record.sizeIncludesHeader = form.sizeIncludesHeader;
    record.skipSize = decimalField(form.skipSize);
    record.approximateSize = decimalField(form.approximateSize);
    if (!form.category.empty()) record.category = cutToUtf16Units(form.category, kMaxCategoryUnits);
    return record;
}

bool createSignatureFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool appendSignature(const std::string& path, const SignatureForm& form, platform::UiSink& sink) {
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) ::close(fd);
        sink.message(kSelectFileToSave);
        return false;
    }
    auto record = recordFromForm(form, sink);
    if (!record) {
        ::close(fd);
        return false;
    }
    record->recordIndex = static_cast<uint8_t>((static_cast<uint64_t>(info.st_size) / kSignatureRecordSize) & 0xFF);
    const RecordBytes bytes = encodeSignatureRecord(*record);
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    if (written != static_cast<ssize_t>(bytes.size()) || !closed) {
        sink.message(kSelectFileToSave);
        return false;
    }
    sink.message(kSignatureSaved);
    return true;
}

}  // namespace vdrec::raw
