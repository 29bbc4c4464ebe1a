// Every file The Sleuth Kit lists on the NTFS fixture images (every name of a hard-linked file
// included) must be listed by the parser at the same path, with the same deleted mark, and save
// to the bytes icat reads with the modification time fls reports.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "fs/ntfs/ntfs_test_volume.h"
#include "support/test_support.h"

namespace vdrec::fs::ntfs {
namespace {

struct TskFile {
    std::string path;
    uint64_t record = 0;
    bool deleted = false;
    bool folder = false;
};

// NTFS volumes of an image: from its partition table, or the whole image when it has none.
std::vector<int64_t> ntfsStarts(const std::string& image) {
    std::vector<int64_t> starts;
    const auto table = vdrec::test::run("mmls -B '" + image + "'");
    std::istringstream lines(table.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("NTFS") == std::string::npos) continue;
        std::istringstream fields(line);
        std::string slot, part;
        int64_t start = 0;
        fields >> slot >> part >> start;
        starts.push_back(start);
    }
    if (starts.empty()) starts.push_back(0);
    return starts;
}

// Regular files and folders of the unnamed data, as fls prints them; metadata files, streams
// and TSK's own orphan folder are left out.
std::vector<TskFile> tskFiles(const std::string& image, int64_t start) {
    std::vector<TskFile> files;
    const auto listing = vdrec::test::run("fls -r -p -o " + std::to_string(start) + " '" + image + "'");
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        TskFile file;
        file.path = line.substr(tab + 1);
        const std::string head = line.substr(0, tab);
        if (file.path.starts_with("$") || file.path.find(':') != std::string::npos ||
            file.path.find("(realloc)") != std::string::npos)
            continue;
        file.deleted = head.find(" * ") != std::string::npos;
        file.folder = head.find("/d") != std::string::npos;
        if (head.find("/r") == std::string::npos && !file.folder) continue;
        const size_t number = head.find_first_of("0123456789", head.find(' '));
        file.record = std::stoull(head.substr(number));
        files.push_back(file);
    }
    return files;
}

// Modification times (seconds) of the unnamed data of each path and record, from fls's body output.
std::map<std::pair<std::string, uint64_t>, int64_t> tskModificationTimes(const std::string& image, int64_t start) {
    std::map<std::pair<std::string, uint64_t>, int64_t> times;
    const auto body = vdrec::test::run("fls -r -m / -o " + std::to_string(start) + " '" + image + "'");
    std::istringstream lines(body.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '|');) fields.push_back(field);
        if (fields.size() < 11 || fields[1].find(" ($FILE_NAME)") != std::string::npos) continue;
        std::string path = fields[1].substr(1);
        if (path.ends_with(" (deleted)")) path.resize(path.size() - 10);
        times[{path, std::stoull(fields[2])}] = std::stoll(fields[8]);
    }
    return times;
}

// Every path of the parser's tree with the entries shown there (a deleted file and a live one
// may share a path).
void collectPaths(const NtfsAdapter& adapter, EntryRef folder, const std::string& prefix,
                  std::multimap<std::string, EntryRef>& out, int depth) {
    for (EntryRef c = adapter.firstChild(folder); c != kNoEntry && depth < 40; c = adapter.nextSibling(c)) {
        const std::string path = prefix + adapter.name(c);
        out.emplace(path, c);
        if (adapter.isFolder(c)) collectPaths(adapter, c, path + "/", out, depth + 1);
    }
}

TEST(TskCrossCheck, ListsAndSavesWhatTheSleuthKitFindsOnTheNtfsFixtures) {
    size_t checked = 0;
    for (const char* name : {"ntfs-main.img", "ntfs-512.img", "ntfs-aged.img", "ntfs-recycle.img"}) {
        const std::string image = vdrec::test::fixture(name);
        if (!std::filesystem::exists(image)) continue;
        for (const int64_t start : ntfsStarts(image)) {
            const auto files = tskFiles(image, start);
            const auto times = tskModificationTimes(image, start);
            // Live files as tsk_recover writes them, in one run; deleted ones (a live namesake may
            // take their path) through icat.
            vdrec::test::TempDir recovered;
            const auto tskRun = vdrec::test::run("tsk_recover -a -o " + std::to_string(start) + " '" + image + "' '" +
                                                 recovered.path() + "'");
            ASSERT_EQ(tskRun.status, 0) << tskRun.err;
            vdrec::test::TempDir out;
            const auto sectors = std::filesystem::file_size(image) / 512 - uint64_t(start);
            test::TestVolume volume(image, start, std::to_string(sectors / 2048));
            volume.scan();
            std::multimap<std::string, EntryRef> paths;
            for (EntryRef top : volume.adapter.rootLevel()) {
                paths.emplace(volume.adapter.name(top), top);
                if (volume.adapter.isFolder(top)) collectPaths(volume.adapter, top, volume.adapter.name(top) + "/", paths, 0);
            }
            for (const TskFile& file : files) {
                SCOPED_TRACE(std::string(name) + " at " + std::to_string(start) + ": " + file.path);
                EntryRef entry = kNoEntry;
                for (auto [it, end] = paths.equal_range(file.path); it != end; ++it)
                    if (uint64_t(volume.parser.recordIndex(it->second)) == file.record) entry = it->second;
                ASSERT_NE(entry, kNoEntry);
                EXPECT_EQ(volume.adapter.isDeleted(entry, false), file.deleted);
                EXPECT_EQ(volume.adapter.isFolder(entry), file.folder);
                if (file.folder) continue;
                const std::string saved = out.file(std::to_string(checked));
                EXPECT_NE(volume.adapter.saveFile(entry, saved).status, CopyStatus::Failed);
                const auto bytes = vdrec::test::readFile(saved);
                // tsk_recover writes no empty file.
                const std::string tskCopy = recovered.path() + "/" + file.path;
                if (!file.deleted && std::filesystem::exists(tskCopy)) EXPECT_EQ(bytes, vdrec::test::readFile(tskCopy));
                else EXPECT_EQ(bytes, test::icat(image, start, file.record));
                EXPECT_EQ(volume.adapter.listTexts(entry).size, formatSize(bytes.size()));
                struct stat status {};
                ASSERT_EQ(::stat(saved.c_str(), &status), 0);
                const auto time = times.find({file.path, file.record});
                ASSERT_NE(time, times.end());
                EXPECT_EQ(int64_t(status.st_mtim.tv_sec), time->second);
                ++checked;
            }
        }
    }
    if (checked == 0) GTEST_SKIP() << "no NTFS fixture image unpacked";
}

}  // namespace
}  // namespace vdrec::fs::ntfs
