#include "results/name_search.h"

#include <gtest/gtest.h>

#include "platform/recording_sink.h"
#include "results/fake_file_system.h"

namespace vdrec::results {
namespace {

struct SearchVolume {
    FakeFileSystem fs;
    ResultsModel model{fs};
    platform::RecordingSink sink;
    SearchVolume() {
        const auto pics = fs.add(fs::kNoEntry, "Pics", true);
        fs.add(pics, "a.JPG", false);
        fs.add(pics, "ajpg.txt", false);
        const auto sub = fs.add(pics, "jpg-folder", true);
        fs.add(sub, "b.jpg", false);
        fs.add(fs::kNoEntry, "jpg-empty", true);
        fs.add(fs::kNoEntry, "root.jpg", false);
        model.buildTopLevel();
        model.afterScan();
    }
    std::vector<std::string> paths() {
        std::vector<std::string> out;
        for (const auto& row : model.list.rows()) out.push_back(row.texts[0]);
        return out;
    }
};

TEST(NameSearch, MatchesAnywhereInTheNameWithoutRegardToCase) {
    struct Case {
        std::string pattern;
        std::vector<std::string> paths;
    } cases[] = {
        {".jpg", {"ROOT/Pics/a.JPG", "ROOT/Pics/ajpg.txt", "ROOT/Pics/jpg-folder/b.jpg", "ROOT/root.jpg"}},
        {"EMPTY", {"ROOT/jpg-empty"}},
        {"\\.jpg$", {"ROOT/Pics/a.JPG", "ROOT/Pics/jpg-folder/b.jpg", "ROOT/root.jpg"}},
        {"txt|^b", {"ROOT/Pics/ajpg.txt", "ROOT/Pics/jpg-folder/b.jpg"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SearchVolume v;
        NameSearch search(v.model, v.sink);
        search.run(c.pattern);
        EXPECT_EQ(v.paths(), c.paths) << c.pattern;
        EXPECT_EQ(v.sink.messages(), std::vector<std::string>{"Searching Finished"});
        EXPECT_TRUE(v.model.listShowsSearchResults);
    }
}

TEST(NameSearch, DeletedHitsKeepTheDeletedStyle) {
    FakeFileSystem fs;
    const auto docs = fs.add(fs::kNoEntry, "Docs", true);
    fs.add(docs, "live.txt", false);
    fs.add(docs, "gone.txt", false, "", true);
    const auto old = fs.add(docs, "Old", true, "", true);
    fs.add(old, "older.txt", false, "", true);
    fs.add(fs::kNoEntry, "top-gone.txt", false, "", true);
    ResultsModel model{fs};
    platform::RecordingSink sink;
    model.buildTopLevel();
    model.afterScan();
    NameSearch search(model, sink);
    search.run("txt");
    std::vector<std::pair<std::string, bool>> shown;
    for (const auto& row : model.list.rows()) shown.emplace_back(row.texts[0], row.deletedStyle);
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{{"ROOT/Docs/live.txt", false},
                                                                {"ROOT/Docs/gone.txt", true},
                                                                {"ROOT/Docs/Old/older.txt", true},
                                                                {"ROOT/top-gone.txt", true}}));
}

TEST(NameSearch, InvalidPatternIsRefusedOnce) {
    SearchVolume v;
    NameSearch search(v.model, v.sink);
    search.run("*jpg");
    EXPECT_EQ(v.sink.messages(),
              std::vector<std::string>{"such characters are not allowed for search.Try again with different pattern."});
    EXPECT_TRUE(v.paths().empty());
}

TEST(NameSearch, StopEndsTheWholeSearch) {
    SearchVolume v;
    NameSearch search(v.model, v.sink);
    search.onHit = [&](const SearchHit&) { search.stopRequested = true; };
    search.run("jpg");
    EXPECT_EQ(v.paths(), std::vector<std::string>{"ROOT/Pics/a.JPG"});
    EXPECT_EQ(v.sink.lastStatus(), "searched file 1");
}

}  // namespace
}  // namespace vdrec::results
