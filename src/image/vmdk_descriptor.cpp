#include "image/vmdk_descriptor.h"

#include <charconv>

namespace vdrec::image {

namespace {

constexpr size_t kExtentWindow = 512;

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The text between `startMark` and the first `endMark` after it, when both are present.
std::string between(std::string_view text, std::string_view startMark, std::string_view endMark) {
    const auto start = text.find(startMark);
    if (start == std::string_view::npos) return {};
    const auto from = start + startMark.size();
    const auto end = text.find(endMark, from);
    if (end == std::string_view::npos) return {};
    return std::string(trim(text.substr(from, end - from)));
}

std::string quotedValue(std::string_view text, std::string_view key) {
    const auto start = text.find(key);
    if (start == std::string_view::npos) return {};
    const auto from = start + key.size();
    if (from >= text.size() || text[from] != '"') return {};
    const auto end = text.find('"', from + 1);
    if (end == std::string_view::npos) return {};
    return std::string(text.substr(from + 1, end - from - 1));
}

}  // namespace

uint64_t VmdkDescriptor::totalSectors() const {
    uint64_t total = 0;
    for (const auto& extent : extents) total += extent.sectors;
    return total;
}

std::optional<VmdkDescriptor> parseVmdkDescriptor(std::string_view text) {
    VmdkDescriptor descriptor;
    descriptor.version = between(text, "version=", "CID=");
    descriptor.cid = between(text, "CID=", "parentCID=");
    descriptor.parentCid = between(text, "parentCID=", "createType=\"");

    constexpr std::string_view kCreateType = "createType=\"";
    const auto createAt = text.find(kCreateType);
    if (createAt == std::string_view::npos) return std::nullopt;
    const size_t windowStart = createAt + kCreateType.size();
    if (windowStart >= text.size()) return std::nullopt;

    // Only the first 512 characters of the descriptor are searched for extents.
    const std::string_view window =
        windowStart < kExtentWindow ? text.substr(windowStart, kExtentWindow - windowStart) : std::string_view();
    descriptor.createType = std::string(window.substr(0, window.find('"')));

    const auto sectionStart = window.find("# Extent description");
    const auto sectionEnd = window.find("# The Disk Data Base");
    if (sectionStart != std::string_view::npos && sectionEnd != std::string_view::npos && sectionEnd > sectionStart) {
        std::string_view part = window.substr(sectionStart, sectionEnd - sectionStart);
        part.remove_prefix(std::string_view("# Extent description").size());
        while (part.size() > 10) {
            const auto blank1 = part.find(' ');
            const auto blank2 = blank1 == std::string_view::npos ? blank1 : part.find(' ', blank1 + 1);
            const auto blank3 = blank2 == std::string_view::npos ? blank2 : part.find(' ', blank2 + 1);
            const auto open = part.find('"');
            const auto close = open == std::string_view::npos ? open : part.find('"', open + 1);
            if (blank3 == std::string_view::npos || close == std::string_view::npos) break;

            VmdkExtent extent;
            const std::string_view number = trim(part.substr(blank1 + 1, blank2 - blank1 - 1));
            std::from_chars(number.data(), number.data() + number.size(), extent.sectors);
            extent.type = std::string(trim(part.substr(blank2 + 1, blank3 - blank2 - 1)));
            extent.fileName = std::string(part.substr(open, close - open));
            descriptor.extentType = extent.type;
            descriptor.extents.push_back(std::move(extent));
            part.remove_prefix(close + 1);
        }
    }

    descriptor.cylinders = quotedValue(text, "ddb.geometry.cylinders = ");
    descriptor.heads = quotedValue(text, "ddb.geometry.heads = ");
    descriptor.sectors = quotedValue(text, "ddb.geometry.sectors = ");
    return descriptor;
}

}  // namespace vdrec::image
