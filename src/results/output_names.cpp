#include "results/output_names.h"

#include "platform/folders.h"

namespace vdrec::results {

namespace {

// Cuts at a UTF-8 character boundary so the shortened name stays valid text.
std::string truncateUtf8(std::string name, size_t limit) {
    if (name.size() <= limit) return name;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

// `name` with " (n)" before its extension. At the length limit the stem gives way; an extension
// too long to leave any stem is shortened with it.
std::string numberedName(const std::string& name, unsigned long n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    const auto dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    std::string stem = hasExtension ? name.substr(0, dot) : name;
    std::string extension = hasExtension ? name.substr(dot) : "";
    if (stem.size() + suffix.size() + extension.size() <= kMaxOutputName) return stem + suffix + extension;
    if (extension.size() + suffix.size() >= kMaxOutputName) {
        stem = name;
        extension.clear();
    }
    return truncateUtf8(std::move(stem), kMaxOutputName - suffix.size() - extension.size()) + suffix + extension;
}

}  // namespace

std::string safeOutputName(std::string_view name) {
    std::string safe;
    safe.reserve(name.size());
    for (char c : name) safe.push_back(c == '/' || c == '\\' || c == '\0' ? '_' : c);
    if (safe.empty()) return "unnamed";
    if (safe == ".") return "_";
    if (safe == "..") return "__";
    if (safe.size() <= kMaxOutputName) return safe;
    // Keep a short extension when cutting a long name.
    const auto dot = safe.rfind('.');
    const std::string extension = dot != std::string::npos && dot > 0 && safe.size() - dot <= 16 ? safe.substr(dot) : "";
    return truncateUtf8(safe.substr(0, safe.size() - extension.size()), kMaxOutputName - extension.size()) + extension;
}

std::string uniqueOutputPath(const std::string& folder, const std::string& name) {
    return uniqueOutputPath(folder, name, [](const std::string&) { return false; });
}

std::string uniqueOutputPath(const std::string& folder, const std::string& name,
                             const std::function<bool(const std::string&)>& taken) {
    const std::string base = platform::withTrailingSeparator(folder);
    std::string candidate = base + name;
    if (!taken(candidate) && !platform::pathExists(candidate)) return candidate;
    for (unsigned long n = 1;; ++n) {
        candidate = base + numberedName(name, n);
        if (!taken(candidate) && !platform::pathExists(candidate)) return candidate;
    }
}

std::string outputFolderFor(const std::string& parent, const std::string& name, bool* created) {
    if (created != nullptr) *created = false;
    const std::string wanted = platform::withTrailingSeparator(parent) + name;
    if (platform::isRealFolder(wanted)) return wanted;
    const std::string path = platform::pathExists(wanted) ? uniqueOutputPath(parent, name) : wanted;
    const bool made = platform::createNewFolder(path);
    if (!made) platform::createFolder(path);
    if (created != nullptr) *created = made;
    return path;
}

}  // namespace vdrec::results
