// `vdrec carve` and `vdrec signatures` on a small disk with planted files.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

std::string vdrec(const std::string& args) { return std::string(VDREC_BINARY) + " " + args; }

struct Planted {
    uint64_t start;
    uint64_t length;
    std::string sha256;
    std::string name;
};

// carve-small.txt: what make-carve-small.sh planted where.
std::vector<Planted> planted() {
    std::vector<Planted> files;
    const auto text = test::readFile(std::string(VDREC_SOURCE_DIR) + "/tests/fixtures/carve-small.txt");
    for (const std::string& line : test::lines(std::string(text.begin(), text.end()))) {
        std::istringstream fields(line);
        Planted file;
        fields >> file.start >> file.length >> file.sha256 >> file.name;
        files.push_back(file);
    }
    return files;
}

std::map<uint64_t, nlohmann::json> findsByStart(const std::string& out) {
    std::map<uint64_t, nlohmann::json> finds;
    for (const std::string& line : test::lines(out)) {
        const auto find = nlohmann::json::parse(line);
        finds[find["start"].get<uint64_t>()] = find;
    }
    return finds;
}

TEST(CarveCli, WholeDiskSavesEveryPlantedFileOfTheDefaultTypesByteExact) {
    test::TempDir out;
    const auto result = test::run(vdrec("carve " + test::fixture("carve-small.img") + " --start 0 --fs RAW --out " +
                                        out.path() + " --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto finds = findsByStart(result.out);
    for (const Planted& file : planted()) {
        if (file.name == "notes.tar") continue;  // no default signature knows tar
        ASSERT_TRUE(finds.count(file.start)) << file.name;
        const auto& find = finds.at(file.start);
        EXPECT_EQ(find["length"].get<uint64_t>(), file.length) << file.name;
        EXPECT_EQ(find["status"], "ok") << file.name;
        EXPECT_EQ(find["name"], std::to_string(file.start) + " ." + std::filesystem::path(file.name).extension().string().substr(1));
        EXPECT_EQ(test::sha256(find["output"].get<std::string>()), file.sha256) << file.name;
    }
    EXPECT_EQ(finds.at(32768)["category"], "Pictures");
}

TEST(CarveCli, SignatureTheUserAddsFindsItsPlantedFile) {
    test::TempDir dir, out;
    const std::string signatures = dir.file("mine.txt");
    const auto added = test::run(vdrec("signatures add " + signatures +
                                       " --ext tar --start 75,73,74,61,72 --start-offset 257 --approx 10240 --category Archives"));
    ASSERT_EQ(added.status, 0) << added.err;
    const auto listed = test::run(vdrec("signatures list " + signatures + " --json"));
    EXPECT_EQ(listed.out,
              "{\"record\":0,\"extension\":\"tar\",\"start\":\"75,73,74,61,72\",\"startOffset\":257,\"end\":\"\","
              "\"sizeOffset\":-1,\"sizeWidth\":0,\"headerSize\":0,\"sizeIncludesHeader\":false,\"approximateSize\":10240,"
              "\"skipSize\":0,\"category\":\"Archives\"}\n");
    const auto result = test::run(vdrec("carve " + test::fixture("carve-small.img") + " --start 0 --fs RAW --no-default --signatures " +
                                        signatures + " --out " + out.path() + " --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto finds = findsByStart(result.out);
    ASSERT_EQ(finds.size(), 1u) << result.out;
    const Planted tar = planted().back();
    ASSERT_EQ(tar.name, "notes.tar");
    ASSERT_TRUE(finds.count(tar.start));
    EXPECT_EQ(test::sha256(finds.at(tar.start)["output"].get<std::string>()), tar.sha256);
}

TEST(CarveCli, RefusalsSayWhy) {
    test::TempDir dir, out;
    struct Case {
        std::string args;
        std::string message;
    };
    const std::string image = test::fixture("carve-small.img");
    const Case cases[] = {
        {"carve " + image + " --start 0 --fs RAW --no-default --out " + out.path(), "Enter the info file first.."},
        {"carve " + image + " --start 0 --fs RAW --signatures " + dir.file("none.txt") + " --out " + out.path(),
         "Cannot open the selected file"},
        {"carve " + image + " --start 0 --fs RAW --out " + dir.file("none"), "Please select valid output folder"},
        {"signatures add " + dir.file("s.txt") + " --ext jpg --start ''", "signature length is zero.."},
        {"signatures add " + dir.file("s.txt") + " --ext '' --start FF", "extention length is zero.."},
        {"signatures list " + dir.file("s.txt"), "Please select a valid file.."},
    };
    for (const Case& c : cases) {
        const auto result = test::run(vdrec(c.args));
        EXPECT_EQ(result.status, 1) << c.args;
        EXPECT_EQ(result.err, "vdrec: " + c.message + "\n") << c.args;
    }
}

}  // namespace
}  // namespace vdrec::cli
