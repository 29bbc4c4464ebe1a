#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vdrec::test {

std::string fixture(const std::string& name) { return std::string(VDREC_FIXTURE_DIR) + "/" + name; }

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void putBe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes.at(offset + k) = static_cast<uint8_t>(value >> (24 - 8 * k));
}

void putLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes.at(offset + k) = static_cast<uint8_t>(value >> (8 * k));
}

void putLe64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value) {
    for (int k = 0; k < 8; ++k) bytes.at(offset + k) = static_cast<uint8_t>(value >> (8 * k));
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vdrec-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

CommandResult run(const std::string& command) {
    TempDir dir;
    const std::string full = command + " >" + dir.file("out") + " 2>" + dir.file("err");
    CommandResult result;
    const int raw = std::system(full.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto out = readFile(dir.file("out"));
    const auto err = readFile(dir.file("err"));
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find('\n', from);
        out.push_back(text.substr(from, end - from));
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return out;
}

std::string sha256(const std::string& path) {
    const auto result = run("sha256sum '" + path + "'");
    return result.out.substr(0, 64);
}

}  // namespace vdrec::test
