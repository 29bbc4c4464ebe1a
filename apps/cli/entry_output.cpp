#include "entry_output.h"

#include <charconv>

#include "fs/entry_walk.h"
#include "platform/text_format.h"

namespace vdrec::cli {

namespace {

bool needsEscape(std::string_view text) {
    // Branch-free over the whole text, so the compiler can test many bytes at once.
    bool found = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        found |= (byte < 0x20) | (byte == '"') | (byte == '\\');
    }
    return found;
}

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    if (!needsEscape(text)) {
        out.append(text);
        out.push_back('"');
        return;
    }
    // Plain runs are appended whole; only quotes, backslashes and control bytes are escaped.
    size_t plain = 0;
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        const auto byte = static_cast<unsigned char>(c);
        if (c != '"' && c != '\\' && byte >= 0x20) continue;
        out.append(text.data() + plain, k - plain);
        plain = k + 1;
        if (byte >= 0x20) {
            out.push_back('\\');
            out.push_back(c);
        } else {
            out += "\\u00";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    out.append(text.data() + plain, text.size() - plain);
    out.push_back('"');
}

}  // namespace

void appendEntryJsonLine(std::string& out, fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path) {
    fs::ListTexts texts;
    appendEntryJsonLine(out, adapter, entry, path, adapter.name(entry), texts);
}

void appendEntryJsonLine(std::string& out, fs::FileSystemAdapter& adapter, fs::EntryRef entry, std::string_view path,
                         std::string_view name, fs::ListTexts& texts) {
    adapter.fillListTexts(entry, texts, false);
    out += "{\"path\":";
    appendJsonString(out, path);
    out += ",\"name\":";
    appendJsonString(out, name);
    out += adapter.isFolder(entry) ? ",\"type\":\"dir\"" : ",\"type\":\"file\"";
    out += adapter.isDeleted(entry, false) ? ",\"deleted\":true" : ",\"deleted\":false";
    out += ",\"size\":";
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, adapter.dataSize(entry));
    out.append(digits, written.ptr);
    out += ",\"created\":";
    appendJsonString(out, texts.created);
    out += ",\"accessed\":";
    appendJsonString(out, texts.accessed);
    out += ",\"modified\":";
    appendJsonString(out, texts.modified);
    out += ",\"attributes\":";
    appendJsonString(out, texts.attributes);
    out += "}\n";
}

std::string entryLine(fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path) {
    const fs::ListTexts texts = adapter.listTexts(entry);
    return platform::format("%s %s %12s  %-20s  %s", adapter.isFolder(entry) ? "dir " : "file",
                            adapter.isDeleted(entry, false) ? "deleted" : "       ",
                            adapter.isFolder(entry) ? "" : texts.size.c_str(), texts.modified.c_str(), path.c_str());
}

std::optional<fs::EntryRef> resolvePath(fs::FileSystemAdapter& adapter, const std::string& path) {
    fs::EntryRef current = fs::kNoEntry;
    size_t from = 0;
    while (from < path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(from, slash - from);
        from = slash + 1;
        if (part.empty()) continue;
        if (current != fs::kNoEntry && !adapter.isFolder(current)) return std::nullopt;
        std::optional<fs::EntryRef> next;
        for (fs::EntryRef child : fs::childChain(adapter, current))
            if (adapter.name(child) == part) {
                next = child;
                break;
            }
        if (!next) return std::nullopt;
        current = *next;
    }
    return current;
}

}  // namespace vdrec::cli
