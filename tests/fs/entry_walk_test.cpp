#include "fs/entry_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "results/fake_file_system.h"

namespace vdrec::fs {
namespace {

using results::FakeFileSystem;

TEST(ChildChain, ListsAChainOnceUpToItsFirstRepeat) {
    // A folder of `count` files whose last file links back to file `backTo` (or to the folder
    // itself, or nowhere), as damaged links on disk may.
    struct Case {
        int count;
        int backTo;  // -1: the chain ends; -2: back to the folder
    };
    const Case cases[] = {{1, -1}, {5, -1}, {1, 0}, {2, 0}, {2, 1}, {7, 0}, {7, 3}, {7, 6},
                          {64, 0}, {64, 31}, {100, 99}, {129, 1}, {6, -2}};
    for (const Case& c : cases) {
        FakeFileSystem fs;
        const EntryRef folder = fs.add(kNoEntry, "Docs", true);
        std::vector<EntryRef> files;
        for (int k = 0; k < c.count; ++k) files.push_back(fs.add(folder, "f" + std::to_string(k), false));
        if (c.backTo >= 0) fs.at(files.back()).nextSibling = files[static_cast<size_t>(c.backTo)];
        if (c.backTo == -2) fs.at(files.back()).nextSibling = folder;
        EXPECT_EQ(childChain(fs, folder), files) << c.count << " back to " << c.backTo;
    }
}

TEST(ChildChain, RootLevelKeepsOnlyValidEntriesAndBothStopAtTheLengthBound) {
    FakeFileSystem fs;
    const EntryRef a = fs.add(kNoEntry, "a", false);
    const EntryRef b = fs.add(kNoEntry, "b", true);
    fs.roots.insert(fs.roots.begin() + 1, 99);  // a number no entry has
    for (int k = 0; k < 5; ++k) fs.add(b, "f" + std::to_string(k), false);
    EXPECT_EQ(childChain(fs, kNoEntry), (std::vector<EntryRef>{a, b}));
    EXPECT_EQ(childChain(fs, kNoEntry, 1), (std::vector<EntryRef>{a}));
    EXPECT_EQ(childChain(fs, b, 3).size(), 3u);
}

// Records what the walk shows, as "name", "[name" when a folder begins and "]name" when it ends;
// `decide` answers for each entry.
struct Recorder final : EntryVisitor {
    const FakeFileSystem& fs;
    std::function<WalkStep(EntryRef, bool)> decide;
    std::vector<std::string> events;

    Recorder(const FakeFileSystem& files, std::function<WalkStep(EntryRef, bool)> decider)
        : fs(files), decide(std::move(decider)) {}
    std::string nameOf(EntryRef e) const { return e == kNoEntry ? "ROOT" : fs.name(e); }
    void beginFolder(EntryRef folder, std::span<const EntryRef>) override { events.push_back("[" + nameOf(folder)); }
    WalkStep visit(EntryRef entry, bool deferred) override {
        events.push_back(deferred ? "~" + nameOf(entry) : nameOf(entry));
        return decide(entry, deferred);
    }
    void endFolder(EntryRef folder) override { events.push_back("]" + nameOf(folder)); }
};

std::function<WalkStep(EntryRef, bool)> intoFolders(const FakeFileSystem& fs) {
    return [&fs](EntryRef e, bool) { return fs.isFolder(e) ? WalkStep::Descend : WalkStep::Next; };
}

using Events = std::vector<std::string>;

TEST(EntryWalk, VisitsDepthFirstInLinkOrderWithFoldersOpenedAndClosed) {
    FakeFileSystem fs;
    const EntryRef docs = fs.add(kNoEntry, "Docs", true);
    fs.add(docs, "a", false);
    const EntryRef sub = fs.add(docs, "Sub", true);
    fs.add(sub, "s", false);
    fs.add(docs, "b", false);
    fs.add(kNoEntry, "top", false);
    Recorder whole(fs, intoFolders(fs));
    const WalkEnd end = walkEntries(fs, kNoEntry, whole);
    EXPECT_EQ(whole.events, (Events{"[ROOT", "Docs", "[Docs", "a", "Sub", "[Sub", "s", "]Sub", "b", "]Docs", "top",
                                    "]ROOT"}));
    EXPECT_EQ(end.visits, 6u);
    EXPECT_FALSE(end.stopped);

    Recorder folder(fs, [](EntryRef, bool) { return WalkStep::Next; });
    walkEntries(fs, docs, folder);
    EXPECT_EQ(folder.events, (Events{"[Docs", "a", "Sub", "b", "]Docs"}));
}

TEST(EntryWalk, DamagedLinksMeetEachEntryOnce) {
    struct Case {
        const char* what;
        std::function<void(FakeFileSystem&, EntryRef docs, EntryRef sub, EntryRef a)> damage;
        Events expected;
    };
    const Case cases[] = {
        {"a folder's child is its ancestor", [](FakeFileSystem& fs, EntryRef docs, EntryRef sub, EntryRef) {
             fs.at(sub).firstChild = docs;
         },
         {"[Docs", "a", "Sub", "[Sub", "]Sub", "]Docs"}},
        {"a chain loops back to its first child", [](FakeFileSystem& fs, EntryRef, EntryRef sub, EntryRef a) {
             fs.at(sub).nextSibling = a;
         },
         {"[Docs", "a", "Sub", "[Sub", "x", "]Sub", "]Docs"}},
        {"a subfolder's chain runs into its parent's", [](FakeFileSystem& fs, EntryRef, EntryRef sub, EntryRef a) {
             fs.at(fs.at(sub).firstChild).nextSibling = a;
         },
         {"[Docs", "a", "Sub", "[Sub", "x", "]Sub", "]Docs"}},
        {"a folder is its own first child", [](FakeFileSystem& fs, EntryRef, EntryRef sub, EntryRef) {
             fs.at(sub).firstChild = sub;
         },
         {"[Docs", "a", "Sub", "[Sub", "]Sub", "]Docs"}},
    };
    for (const Case& c : cases) {
        FakeFileSystem fs;
        const EntryRef docs = fs.add(kNoEntry, "Docs", true);
        const EntryRef a = fs.add(docs, "a", false);
        const EntryRef sub = fs.add(docs, "Sub", true);
        fs.add(sub, "x", false);
        c.damage(fs, docs, sub, a);
        Recorder recorder(fs, intoFolders(fs));
        walkEntries(fs, docs, recorder);
        EXPECT_EQ(recorder.events, c.expected) << c.what;
    }
}

TEST(EntryWalk, DeferredEntriesComeAgainAfterTheirFolderOnce) {
    FakeFileSystem fs;
    const EntryRef docs = fs.add(kNoEntry, "Docs", true);
    const EntryRef old = fs.add(docs, "old", true);
    fs.add(old, "o", false);
    fs.add(docs, "b", false);
    Recorder recorder(fs, [&](EntryRef e, bool) {
        if (e == old) return WalkStep::Defer;  // asked again when deferred: walked no further
        return fs.isFolder(e) ? WalkStep::Descend : WalkStep::Next;
    });
    walkEntries(fs, docs, recorder);
    EXPECT_EQ(recorder.events, (Events{"[Docs", "old", "b", "~old", "]Docs"}));

    Recorder descends(fs, [&](EntryRef e, bool deferred) {
        if (e == old && !deferred) return WalkStep::Defer;
        return fs.isFolder(e) ? WalkStep::Descend : WalkStep::Next;
    });
    walkEntries(fs, docs, descends);
    EXPECT_EQ(descends.events, (Events{"[Docs", "old", "b", "~old", "[old", "o", "]old", "]Docs"}));
}

TEST(EntryWalk, StopAndBoundsEndTheWalkAndCloseWhatIsOpen) {
    FakeFileSystem fs;
    EntryRef parent = fs.add(kNoEntry, "top", true);
    const EntryRef top = parent;
    for (int depth = 1; depth <= 3; ++depth) parent = fs.add(parent, "d" + std::to_string(depth), true);
    fs.add(parent, "deep", false);

    Recorder stops(fs, [&](EntryRef e, bool) { return fs.name(e) == "d2" ? WalkStep::Stop : WalkStep::Descend; });
    EXPECT_TRUE(walkEntries(fs, top, stops).stopped);
    EXPECT_EQ(stops.events, (Events{"[top", "d1", "[d1", "d2", "]d1", "]top"}));

    Recorder shallow(fs, intoFolders(fs));
    const WalkEnd cut = walkEntries(fs, top, shallow, {.maxDepth = 2});
    EXPECT_EQ(shallow.events, (Events{"[top", "d1", "[d1", "d2", "]d2", "]d1", "]top"}));
    EXPECT_EQ(cut.foldersCutOff, 1u);

    Recorder few(fs, intoFolders(fs));
    const WalkEnd exhausted = walkEntries(fs, top, few, {.maxVisits = 2});
    EXPECT_TRUE(exhausted.visitsExhausted);
    EXPECT_EQ(exhausted.visits, 2u);
    EXPECT_EQ(few.events, (Events{"[top", "d1", "[d1", "d2", "[d2", "]d2", "]d1", "]top"}));
}

TEST(EntryWalk, DeepChainDoesNotExhaustTheStack) {
    FakeFileSystem fs;
    EntryRef parent = fs.add(kNoEntry, "top", true);
    const EntryRef top = parent;
    for (int depth = 0; depth < 300000; ++depth) parent = fs.add(parent, "", true);
    fs.add(parent, "deep.txt", false);
    bool metDeepFile = false;
    Recorder recorder(fs, [&](EntryRef e, bool) {
        metDeepFile |= fs.name(e) == "deep.txt";
        return fs.isFolder(e) ? WalkStep::Descend : WalkStep::Next;
    });
    walkEntries(fs, top, recorder);
    EXPECT_TRUE(metDeepFile);
}

}  // namespace
}  // namespace vdrec::fs
