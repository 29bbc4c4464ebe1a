#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace vdrec::test {

// Path of an unpacked fixture image.
std::string fixture(const std::string& name);
std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

void putBe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
void putLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
void putLe64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value);

// A fresh folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs a shell command; returns its exit status and fills stdout/stderr.
struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
CommandResult run(const std::string& command);

// The lines of a command's output, without their line ends.
std::vector<std::string> lines(const std::string& text);
// A file's SHA-256 in hex, as sha256sum prints it.
std::string sha256(const std::string& path);

// The bytes a volume list's size text gives a parser: its leading whole megabytes.
inline uint64_t listedBytes(const std::string& sizeText) {
    const long megabytes = std::strtol(sizeText.c_str(), nullptr, 10);
    return megabytes > 0 ? static_cast<uint64_t>(megabytes) << 20 : 0;
}

}  // namespace vdrec::test
