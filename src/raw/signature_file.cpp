#include "raw/signature_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace vdrec::raw {

namespace {

constexpr int32_t kMaxSizeFieldWidth = 8;

std::string programFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) return ".";
    path.resize(static_cast<size_t>(length));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::string defaultSignaturePath() {
    std::string folder = programFolder();
    if (folder.back() != '/') folder.push_back('/');
    return folder + std::string(kDefaultSignatureFileName);
}

std::optional<std::vector<SignatureRecord>> readSignatureFile(const std::string& path, SignatureFileRole role,
                                                              platform::UiSink& sink) {
    std::ifstream file(path, std::ios::binary);
    struct stat info {};
    if (!file || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        sink.message(role == SignatureFileRole::User ? kCannotOpenSignatureFile : kNotValidSignatureFile);
        return std::nullopt;
    }
    const auto length = static_cast<uint64_t>(info.st_size);
    // The count comes from the length, never from a record's own index byte, which wraps at 256
    // and says nothing about records appended out of turn.
    if (length < kSignatureRecordSize || length > kMaxSignatureFileBytes || length % kSignatureRecordSize != 0) {
        sink.message(kNotValidSignatureFile);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        sink.message(kNotValidSignatureFile);
        return std::nullopt;
    }
    std::vector<SignatureRecord> records;
    for (size_t at = 0; at < bytes.size(); at += kSignatureRecordSize) {
        auto record = decodeSignatureRecord(platform::asBytes(bytes.data() + at, kSignatureRecordSize));
        if (!record || record->sizeFieldWidth > kMaxSizeFieldWidth) {
            sink.message(kNotValidSignatureFile);
            return std::nullopt;
        }
        records.push_back(std::move(*record));
    }
    return records;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return a == b;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

LoadedSignatures loadSignatureFiles(const std::string& defaultPath, const std::string& userPath,
                                    platform::UiSink& sink) {
    LoadedSignatures loaded;
    if (!defaultPath.empty()) {
        if (auto records = readSignatureFile(defaultPath, SignatureFileRole::Default, sink))
            loaded.records = std::move(*records);
        else
            loaded.defaultInvalid = true;
    }
    // The field holds the default path until the user picks another file: loading it again
    // would list every default find twice.
    if (!userPath.empty() && !(!defaultPath.empty() && !loaded.defaultInvalid && sameFile(defaultPath, userPath))) {
        if (auto records = readSignatureFile(userPath, SignatureFileRole::User, sink))
            loaded.records.insert(loaded.records.end(), std::make_move_iterator(records->begin()),
                                  std::make_move_iterator(records->end()));
        else
            loaded.userFailed = true;
    }
    return loaded;
}

}  // namespace vdrec::raw
