#include "results/save_walk.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/recording_sink.h"
#include "results/fake_file_system.h"
#include "results/output_names.h"
#include "support/test_support.h"

namespace vdrec::results {
namespace {

namespace stdfs = std::filesystem;

// Every regular file below `root`, relative, with its contents.
std::map<std::string, std::string> tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : stdfs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const auto bytes = test::readFile(entry.path().string());
        files[stdfs::relative(entry.path(), root).string()] = std::string(bytes.begin(), bytes.end());
    }
    return files;
}

TEST(OutputNames, NamesFromTheDiskCannotLeaveTheFolder) {
    struct Case {
        std::string name;
        std::string safe;
    } cases[] = {
        {"report.txt", "report.txt"}, {"../../etc/passwd", ".._.._etc_passwd"}, {"a\\b", "a_b"},
        {".", "_"},                   {"..", "__"},                             {"", "unnamed"},
        {std::string("a\0b", 3), "a_b"},
    };
    for (const auto& c : cases) EXPECT_EQ(safeOutputName(c.name), c.safe) << c.name;
    // Names up to 255 bytes are kept whole.
    for (size_t length : {240u, 254u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".txt";
        EXPECT_EQ(safeOutputName(name), name) << length;
    }
    const std::string longName = std::string(300, 'x') + ".txt";
    const std::string cut = safeOutputName(longName);
    EXPECT_EQ(cut.size(), kMaxOutputName);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".txt");
    // A multi-byte character is never cut in half.
    const std::string accents = [] { std::string s; for (int k = 0; k < 200; ++k) s += "\xC3\xA9"; return s; }();
    const std::string shortened = safeOutputName(accents);
    EXPECT_LE(shortened.size(), kMaxOutputName);
    EXPECT_EQ(shortened.size() % 2, 0u);
}

TEST(OutputNames, SuffixOnANameAtTheLimitShortensTheStem) {
    const std::string e = "\xC3\xA9";  // two bytes
    struct Case {
        std::string name;
        std::string numbered;
    } cases[] = {
        {std::string(251, 'x') + ".txt", std::string(247, 'x') + " (1).txt"},
        {std::string(250, 'x') + ".txt", std::string(247, 'x') + " (1).txt"},
        {std::string(240, 'x') + ".txt", std::string(240, 'x') + " (1).txt"},
        // Never half a character: 123 two-byte characters fit in 247 bytes.
        {[&] { std::string s(1, 'a'); for (int k = 0; k < 125; ++k) s += e; return s + ".txt"; }(),
         [&] { std::string s(1, 'a'); for (int k = 0; k < 123; ++k) s += e; return s + " (1).txt"; }()},
        // An extension that leaves no room for a stem is shortened with the rest.
        {"a." + std::string(253, 'x'), "a." + std::string(249, 'x') + " (1)"},
        {std::string(255, 'x'), std::string(251, 'x') + " (1)"},
    };
    for (const auto& c : cases) {
        ASSERT_LE(c.name.size(), kMaxOutputName);
        test::TempDir dir;
        test::writeFile(dir.file(c.name), {'x'});
        const std::string path = uniqueOutputPath(dir.path(), c.name);
        EXPECT_EQ(path, dir.file(c.numbered)) << c.name.size();
        EXPECT_LE(path.size() - dir.path().size() - 1, kMaxOutputName);
        // The shortened name can really be created, and the next clash gets the next number.
        test::writeFile(path, {'y'});
        EXPECT_NE(uniqueOutputPath(dir.path(), c.name), path);
    }
}

TEST(SaveWalk, FolderIsRecreatedBelowTheOutputFolderAndClashesGetNumbers) {
    FakeFileSystem fs;
    const auto docs = fs.add(fs::kNoEntry, "Docs", true);
    fs.add(docs, "report.txt", false, "old", true);
    fs.add(docs, "report.txt", false, "new");
    const auto sub = fs.add(docs, "Sub", true);
    fs.add(sub, "note", false, "n");
    fs.add(docs, "", true);  // an unnamed folder's files land in its parent's folder
    fs.add(static_cast<fs::EntryRef>(fs.entries.size() - 1), "orphan.txt", false, "o");
    test::TempDir out;
    test::writeFile(out.file("note"), {'x'});  // already there: must survive
    platform::RecordingSink sink;
    SaveWalk walk(fs, sink);
    EXPECT_EQ(walk.countFiles(docs), 4u);
    const SaveReport report = walk.saveFolder(docs, out.path());
    EXPECT_EQ(report.files, 4u);
    EXPECT_EQ(report.notWritten, 0u);
    // The live report keeps the plain name although its deleted namesake comes first.
    const std::map<std::string, std::string> expected = {
        {"report.txt", "new"}, {"report (1).txt", "old"}, {"Sub/note", "n"}, {"orphan.txt", "o"}, {"note", "x"}};
    EXPECT_EQ(tree(out.path()), expected);
}

TEST(SaveWalk, LiveEntriesTakeThePlainNamesAndDeletedNamesakesTheNumbers) {
    FakeFileSystem fs;
    const auto top = fs.add(fs::kNoEntry, "top", true);
    fs.add(top, "budget.xlsx", false, "deleted 1", true);
    fs.add(top, "budget.xlsx", false, "deleted 2", true);
    fs.add(top, "budget.xlsx", false, "live");
    fs.add(top, "notes", false, "deleted notes", true);
    // A deleted folder before its live namesake: both land in one output folder.
    const auto oldDocs = fs.add(top, "Docs", true, "", true);
    fs.add(oldDocs, "a.txt", false, "old a", true);
    const auto docs = fs.add(top, "Docs", true);
    fs.add(docs, "a.txt", false, "live a");
    fs.add(docs, "Docs", false, "a file named like its folder");
    const std::map<std::string, std::string> expected = {
        {"budget.xlsx", "live"},     {"budget (1).xlsx", "deleted 1"}, {"budget (2).xlsx", "deleted 2"},
        {"notes", "on disk before"}, {"notes (1)", "deleted notes"},   {"Docs/a.txt", "live a"},
        {"Docs/a (1).txt", "old a"}, {"Docs/Docs", "a file named like its folder"}};
    for (unsigned copies : {1u, 3u}) {
        SCOPED_TRACE(copies);
        test::TempDir out;
        const std::string before = "on disk before";
        test::writeFile(out.file("notes"), std::vector<uint8_t>(before.begin(), before.end()));
        platform::RecordingSink sink;
        SaveWalk walk(fs, sink);
        walk.parallelCopies = copies;
        std::vector<std::string> written;
        walk.onFile = [&](const SavedFile& saved) { written.push_back(saved.output.substr(out.path().size() + 1)); };
        EXPECT_EQ(walk.saveFolder(top, out.path()).notWritten, 0u);
        EXPECT_EQ(tree(out.path()), expected);
        // Files are still handled in link order; only the deleted folder waits for its live namesake.
        EXPECT_EQ(written, (std::vector<std::string>{"budget (1).xlsx", "budget (2).xlsx", "budget.xlsx", "notes (1)",
                                                     "Docs/a.txt", "Docs/Docs", "Docs/a (1).txt"}));
    }
}

TEST(SaveWalk, WholeVolumeIsSavedAsAFolderWhoseChildrenAreTheRootLevel) {
    // The same entries twice: at the root level, and below a folder "top".
    FakeFileSystem fs;
    const auto top = fs.add(fs::kNoEntry, "top", true);
    fs.roots.clear();
    for (fs::EntryRef parent : {fs::kNoEntry, top}) {
        fs.add(parent, "budget.xlsx", false, "deleted", true);
        fs.add(parent, "budget.xlsx", false, "live");
        const auto oldDocs = fs.add(parent, "Docs", true, "", true);
        fs.add(oldDocs, "a.txt", false, "old a", true);
        const auto docs = fs.add(parent, "Docs", true);
        fs.add(docs, "a.txt", false, "live a");
        const auto unnamed = fs.add(parent, "", true);  // gets no folder of its own
        fs.add(unnamed, "loose.txt", false, "loose");
        fs.at(fs.add(parent, "$BadClus", false, "bad")).countedOnly = true;
    }
    const std::map<std::string, std::string> expected = {{"budget.xlsx", "live"},    {"budget (1).xlsx", "deleted"},
                                                         {"Docs/a.txt", "live a"},   {"Docs/a (1).txt", "old a"},
                                                         {"loose.txt", "loose"}};
    for (unsigned copies : {1u, 3u}) {
        SCOPED_TRACE(copies);
        test::TempDir whole, folder;
        platform::RecordingSink sink;
        auto save = [&](fs::EntryRef from, const std::string& out) {
            SaveWalk walk(fs, sink);
            walk.parallelCopies = copies;
            std::vector<std::string> lines;
            walk.onFile = [&](const SavedFile& saved) {
                lines.push_back(saved.path + " -> " + (saved.output.empty() ? "" : saved.output.substr(out.size())));
            };
            const SaveReport report = from == fs::kNoEntry ? walk.saveVolume(out) : walk.saveFolder(from, out);
            EXPECT_EQ(report.files, 6u);
            EXPECT_EQ(walk.countFiles(from), 6u);
            return lines;
        };
        const auto wholeLines = save(fs::kNoEntry, whole.path());
        EXPECT_EQ(wholeLines, save(top, folder.path()));
        EXPECT_EQ(tree(whole.path()), expected);
        EXPECT_EQ(tree(folder.path()), expected);
        EXPECT_EQ(wholeLines, (std::vector<std::string>{"budget.xlsx -> /budget (1).xlsx", "budget.xlsx -> /budget.xlsx",
                                                        "Docs/a.txt -> /Docs/a.txt", "loose.txt -> /loose.txt",
                                                        "$BadClus -> ", "Docs/a.txt -> /Docs/a (1).txt"}));
    }
}

TEST(SaveWalk, ParallelCopiesGiveTheSameFilesNamesAndOrder) {
    FakeFileSystem fs;
    const auto top = fs.add(fs::kNoEntry, "top", true);
    std::map<std::string, std::string> expected;
    for (int k = 0; k < 300; ++k) {
        const auto folder = fs.add(top, "d" + std::to_string(k % 7), true);
        fs.add(folder, "same.txt", false, "copy " + std::to_string(k));
    }
    const auto bad = fs.add(top, "bad.bin", false, "b");
    fs.at(bad).failCopy = true;
    auto runWith = [&](unsigned copies, const std::string& out) {
        platform::RecordingSink sink;
        SaveWalk walk(fs, sink);
        walk.parallelCopies = copies;
        std::vector<std::string> order;
        walk.onFile = [&](const SavedFile& saved) { order.push_back(saved.path + " -> " + (saved.output.empty() ? std::string() : saved.output.substr(out.size()))); };
        const SaveReport report = walk.saveFolder(top, out);
        EXPECT_EQ(report.notWritten, 1u);
        return order;
    };
    test::TempDir one, two;
    const auto sequential = runWith(1, one.path());
    const auto parallel = runWith(3, two.path());
    EXPECT_EQ(parallel, sequential);
    EXPECT_EQ(tree(two.path()), tree(one.path()));
    EXPECT_EQ(tree(two.path()).size(), 300u);
}

TEST(SaveWalk, ParallelCopiesKeepOrderAroundCountedOnlyFilesAndAcrossFolders) {
    FakeFileSystem fs;
    std::vector<fs::EntryRef> tops;
    for (int t = 0; t < 2; ++t) {
        const auto top = fs.add(fs::kNoEntry, "top" + std::to_string(t), true);
        // Counted-only files between runs longer and shorter than the copies kept in flight.
        for (int k = 0; k < 200; ++k) {
            const auto file = fs.add(top, "f" + std::to_string(k), false, "data " + std::to_string(k));
            if (k % 67 == 5 || k == 6) fs.at(file).countedOnly = true;
        }
        tops.push_back(top);
    }
    auto runWith = [&](unsigned copies, const std::string& out) {
        platform::RecordingSink sink;
        SaveWalk walk(fs, sink);
        walk.parallelCopies = copies;
        std::vector<std::string> order;
        walk.onFile = [&](const SavedFile& saved) {
            order.push_back(saved.path + " " + std::to_string(static_cast<int>(saved.status)) + " " +
                            std::to_string(saved.bytes));
        };
        // One walk for both folders, as the whole-volume save does.
        for (size_t t = 0; t < tops.size(); ++t) {
            const std::string folder = out + "/top" + std::to_string(t);
            std::filesystem::create_directory(folder);
            const SaveReport report = walk.saveFolder(tops[t], folder, "top" + std::to_string(t) + "/");
            EXPECT_EQ(report.files, 200u);
            EXPECT_EQ(report.notWritten, 0u);
        }
        return order;
    };
    test::TempDir one, two;
    const auto sequential = runWith(1, one.path());
    const auto parallel = runWith(2, two.path());
    ASSERT_EQ(sequential.size(), 400u);
    EXPECT_EQ(parallel, sequential);
    EXPECT_EQ(tree(two.path()), tree(one.path()));
    EXPECT_EQ(tree(two.path()).size(), 2u * (200u - 4u));
}

TEST(SaveWalk, CraftedNamesStayInsideTheOutputFolder) {
    FakeFileSystem fs;
    const auto top = fs.add(fs::kNoEntry, "top", true);
    const auto evil = fs.add(top, "..", true);
    fs.add(evil, "../../escaped.txt", false, "e");
    fs.add(top, "/etc/passwd", false, "p");
    fs.add(top, ".", true);
    test::TempDir parent;
    const std::string out = parent.file("out");
    stdfs::create_directory(out);
    platform::RecordingSink sink;
    SaveWalk(fs, sink).saveFolder(top, out);
    EXPECT_EQ(tree(parent.path()), (std::map<std::string, std::string>{{"out/__/.._.._escaped.txt", "e"},
                                                                        {"out/_etc_passwd", "p"}}));
}

TEST(SaveWalk, ExistingLinkIsNotFollowed) {
    FakeFileSystem fs;
    const auto top = fs.add(fs::kNoEntry, "top", true);
    const auto sub = fs.add(top, "Sub", true);
    fs.add(sub, "a.txt", false, "a");
    test::TempDir outside, out;
    stdfs::create_directory_symlink(outside.path(), out.file("Sub"));
    platform::RecordingSink sink;
    SaveWalk(fs, sink).saveFolder(top, out.path());
    EXPECT_TRUE(stdfs::is_empty(outside.path()));
    EXPECT_TRUE(stdfs::exists(out.file("Sub (1)/a.txt")));
}

TEST(SaveWalk, LinkCycleEndsAndEachEntryIsSavedOnce) {
    FakeFileSystem fs;
    const auto top = fs.add(fs::kNoEntry, "top", true);
    const auto loop = fs.add(top, "loop", true);
    fs.add(loop, "x.txt", false, "x");
    fs.at(loop).firstChild = top;  // loop's child is its own ancestor
    fs.at(top).nextSibling = fs.at(top).firstChild;
    test::TempDir out;
    platform::RecordingSink sink;
    SaveWalk walk(fs, sink);
    EXPECT_EQ(walk.countFiles(top), 0u);
    walk.saveFolder(top, out.path());
    EXPECT_TRUE(stdfs::is_directory(out.file("loop")));
}

TEST(SaveWalk, DeepChainDoesNotExhaustTheStack) {
    FakeFileSystem fs;
    fs::EntryRef parent = fs.add(fs::kNoEntry, "top", true);
    const fs::EntryRef top = parent;
    for (int depth = 0; depth < 200000; ++depth) parent = fs.add(parent, "", true);
    fs.add(parent, "deep.txt", false, "d");
    test::TempDir out;
    platform::RecordingSink sink;
    SaveWalk walk(fs, sink);
    EXPECT_EQ(walk.countFiles(top), 1u);
    walk.saveFolder(top, out.path());
    EXPECT_TRUE(stdfs::exists(out.file("deep.txt")));
}

TEST(SaveWithConfirmation, AsksWithTheCountAndReportsFilesNotWritten) {
    FakeFileSystem fs;
    const auto docs = fs.add(fs::kNoEntry, "Docs", true);
    fs.add(docs, "good.txt", false, "g");
    const auto bad = fs.add(docs, "bad.txt", false, "b");
    fs.at(bad).failCopy = true;
    const auto badClus = fs.add(docs, "$BadClus", false, "");
    fs.at(badClus).countedOnly = true;
    test::TempDir out;
    platform::RecordingSink sink;
    std::vector<std::string> statuses;
    SaveReport report;
    ASSERT_TRUE(saveWithConfirmation(fs, sink, docs, out.path(), &report));
    EXPECT_EQ(sink.questions(), std::vector<std::string>{
                                    "Number of files found inside this folder = 3 .Do you want to continue dumping these files..?"});
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"work done. 1 of 3 files could not be written completely."});
    EXPECT_EQ(tree(out.path()), (std::map<std::string, std::string>{{"good.txt", "g"}}));
    EXPECT_EQ(sink.statuses().front(), "saving File  " + out.file("good.txt"));
}

TEST(SaveWithConfirmation, RemovedFilesWithoutDataAreCountedInOneEndMessage) {
    FakeFileSystem fs;
    const auto docs = fs.add(fs::kNoEntry, "Docs", true);
    fs.add(docs, "good.txt", false, "g");
    const auto gone = fs.add(docs, "Gone", true, "", true);
    for (int k = 0; k < 600; ++k) fs.at(fs.add(gone, "lost" + std::to_string(k), false, "", true)).noData = true;
    const auto bad = fs.add(docs, "bad.txt", false, "b");
    fs.at(bad).failCopy = true;
    for (const unsigned copies : {1u, 3u}) {
        test::TempDir out;
        platform::RecordingSink sink;
        SaveWalk walk(fs, sink);
        walk.parallelCopies = copies;
        std::vector<SavedFile::Status> statuses;
        walk.onFile = [&](const SavedFile& saved) {
            statuses.push_back(saved.status);
            if (saved.status == SavedFile::Status::NoData) {
                EXPECT_EQ(saved.output, "") << saved.path;
            }
        };
        const SaveReport report = walk.saveFolder(docs, out.path());
        EXPECT_EQ(report.files, 602u) << copies;
        EXPECT_EQ(report.notWritten, 601u) << copies;
        EXPECT_EQ(report.noData, 600u) << copies;
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), SavedFile::Status::NoData), 600) << copies;
        EXPECT_TRUE(sink.messages().empty()) << copies;
        EXPECT_EQ(tree(out.path()), (std::map<std::string, std::string>{{"good.txt", "g"}})) << copies;
    }
    // The Save button: one message for them all after the usual one, however many there are.
    test::TempDir out;
    platform::RecordingSink sink;
    ASSERT_TRUE(saveWithConfirmation(fs, sink, docs, out.path()));
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"work done. 601 of 602 files could not be written completely.",
                                                         "No data survives for 600 removed files; they were not written."}));
    platform::RecordingSink one;
    reportSaved(one, 1, 1, 1);
    EXPECT_EQ(one.messages().back(), "No data survives for 1 removed file; it was not written.");
}

TEST(SaveWithConfirmation, NoWritesWhenDeclinedOrNotAFolder) {
    FakeFileSystem fs;
    const auto docs = fs.add(fs::kNoEntry, "Docs", true);
    const auto file = fs.add(docs, "a.txt", false, "a");
    fs.rules_ = {};
    test::TempDir out;
    platform::RecordingSink sink;
    sink.answerQuestions(false);
    EXPECT_FALSE(saveWithConfirmation(fs, sink, docs, out.path()));
    EXPECT_EQ(sink.questions().front().rfind("number of files found inside this folder = 1 ", 0), 0u);
    EXPECT_FALSE(saveWithConfirmation(fs, sink, file, out.path()));
    EXPECT_TRUE(stdfs::is_empty(out.path()));
    EXPECT_TRUE(sink.messages().empty());
}

}  // namespace
}  // namespace vdrec::results
