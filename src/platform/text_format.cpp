#include "platform/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace vdrec::platform {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(result.data(), result.size(), pattern, args);
        result.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return result;
}

}  // namespace vdrec::platform

namespace vdrec::platform {

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::string utf16leToUtf8(const uint8_t* data, size_t units) {
    std::string out;
    for (size_t k = 0; k < units; ++k) {
        uint32_t unit = data[2 * k] | (uint32_t{data[2 * k + 1]} << 8);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit < 0xDC00 && k + 1 < units) {
            const uint32_t low = data[2 * k + 2] | (uint32_t{data[2 * k + 3]} << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
        appendUtf8(out, unit);
    }
    return out;
}

std::string formatSize(uint64_t bytes) {
    const double size = static_cast<double>(bytes);
    if (size >= 1073741824.0) return format("%.2f GB", size / 1073741824.0);
    if (size >= 1048576.0) return format("%.2f MB", size / 1048576.0);
    if (size >= 1024.0) return format("%.2f KB", size / 1024.0);
    return format("%lld Bytes", static_cast<long long>(bytes));
}

}  // namespace vdrec::platform
