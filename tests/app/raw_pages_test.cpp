// The raw recovery page and the signature editor driven headlessly: a signature made in the
// editor finds the files planted for it, and the finds are listed by category and saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/pages/raw_recovery_page.h"
#include "app/pages/signature_editor_page.h"
#include "image/image_kind.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"
#include "volumes/volume_scan.h"

namespace vdrec {
namespace {

constexpr std::string_view kNoSelection = "Please select folder to continue the saving process.";

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A file of the editor's signature: "VDRECSIG" up front, "ENDSIG!!" at its end.
std::vector<uint8_t> planted(const std::string& body) { return bytesOf("VDRECSIG" + body + "ENDSIG!!"); }

struct Disk {
    test::TempDir dir;
    image::WizardState state;
    platform::RecordingSink sink;
    std::vector<std::vector<uint8_t>> files{planted(std::string(3000, 'a')), planted("a short one")};
    std::vector<uint64_t> offsets{1u << 20, (2u << 20) + 1536};
    std::string signatures = dir.file("mine.txt");

    Disk() {
        std::vector<uint8_t> image(4u << 20, 0);
        for (size_t k = 0; k < files.size(); ++k) std::copy(files[k].begin(), files[k].end(), image.begin() + offsets[k]);
        test::writeFile(dir.file("disk.img"), image);
        state.imagePath = dir.file("disk.img");
        state.imageKind = image::ImageKind::Raw;
        EXPECT_TRUE(volumes::provideReader(state, sink));

        platform::RecordingSink editorSink;
        app::SignatureEditorPage editor(editorSink);
        editor.fileChosen(signatures);
        editor.form.extension = "vdr";
        editor.form.startSignature = "0x56,0x44,0x52,0x45,0x43,0x53,0x49,0x47";
        editor.form.endSignature = "45,4E,44,53,49,47,21,21";
        editor.form.approximateSize = "100000";
        editor.form.category = "Mine";
        EXPECT_TRUE(editor.save());
    }
    app::RawRecoveryPage page(const std::string& sizeText = "4") {
        return app::RawRecoveryPage(state, sink, volumes::VolumeEntry{"RAW", "0", sizeText, 0}, {}, signatures);
    }
};

std::vector<std::string> childTexts(const app::RawRecoveryPage& page, results::ItemId item) {
    std::vector<std::string> texts;
    for (results::ItemId child : page.tree.item(item).children) texts.push_back(page.tree.item(child).text);
    return texts;
}

TEST(RawRecoveryPage, ParseFindsThePlantedFilesListsThemByCategoryAndSavesTheChecked) {
    Disk disk;
    app::RawRecoveryPage page = disk.page();
    EXPECT_EQ(disk.sink.lastStatus(), app::kRawRecoveryIntro);
    page.parse();
    page.waitForWorker();
    EXPECT_FALSE(page.running);
    EXPECT_FALSE(page.parseEnabled);
    EXPECT_TRUE(page.backEnabled && page.saveEnabled);
    EXPECT_EQ(disk.sink.lastStatus(), "Scanning processing done.Select save button to save the data");

    // The default file and the field name the same file: its signature is loaded once.
    ASSERT_EQ(page.carver()->signatures().size(), 1u);
    EXPECT_EQ(page.tree.item(page.rootItem).text, "RAW RECOVERY ");
    ASSERT_EQ(childTexts(page, page.rootItem), std::vector<std::string>{"Mine (2)"});
    const results::ItemId mine = page.tree.item(page.rootItem).children[0];
    EXPECT_EQ(childTexts(page, mine), (std::vector<std::string>{"1048576 .vdr", "2098688 .vdr"}));

    page.labelClick(mine);
    ASSERT_EQ(page.listRows.size(), 2u);
    EXPECT_EQ(page.listRows[1].text, "2098688 .vdr");

    page.save();
    EXPECT_EQ(disk.sink.messages().back(), kNoSelection);
    page.setChecked(mine, true);
    test::TempDir out;
    disk.sink.answerFolder(out.path());
    page.save();
    page.waitForWorker();
    EXPECT_EQ(disk.sink.messages().back(), "work done");
    EXPECT_EQ(test::readFile(out.file("1048576 .vdr")), disk.files[0]);
    EXPECT_EQ(test::readFile(out.file("2098688 .vdr")), disk.files[1]);
}

TEST(RawRecoveryPage, RefusesToScanWithoutSignaturesOrWithoutAVolume) {
    const struct {
        bool loadDefault;
        const char* field;
        const char* sizeText;
        std::vector<std::string> messages;
    } cases[] = {
        {false, "", "4", {"Enter the info file first.."}},
        {true, nullptr, "0", {"zero size volume.."}},
        {false, "/no/such/signatures.txt", "4", {"Cannot open the selected file"}},
    };
    for (const auto& c : cases) {
        Disk disk;
        app::RawRecoveryPage page = disk.page(c.sizeText);
        page.loadDefaultItems = c.loadDefault;
        if (c.field != nullptr) page.signaturePath = c.field;
        page.parse();
        page.waitForWorker();
        EXPECT_EQ(disk.sink.messages(), c.messages) << c.sizeText;
        EXPECT_EQ(disk.sink.lastStatus(), app::kRawScanEnded);
        EXPECT_FALSE(page.running);
        EXPECT_FALSE(page.progressVisible || page.runButtonsVisible);
        EXPECT_TRUE(page.backEnabled && page.saveEnabled);
    }
}

TEST(RawRecoveryPage, AnInvalidDefaultFileIsRefusedAndItsPathCleared) {
    Disk disk;
    test::writeFile(disk.dir.file("broken.txt"), std::vector<uint8_t>(100, 1));
    app::RawRecoveryPage page(disk.state, disk.sink, volumes::VolumeEntry{"RAW", "0", "4", 0}, {}, disk.dir.file("broken.txt"));
    page.signaturePath.clear();
    page.parse();
    EXPECT_EQ(disk.sink.messages(), (std::vector<std::string>{"Please select a valid file..", "Enter the info file first.."}));
    EXPECT_EQ(page.defaultSignaturePath, "");
}

TEST(RawRecoveryPage, BrowseAndTheEditorWaitWhileAScanRuns) {
    Disk disk;
    app::RawRecoveryPage page = disk.page();
    page.signatureFileChosen(disk.dir.file("missing.txt"));
    EXPECT_EQ(page.signaturePath, disk.signatures);  // only an existing file is taken
    // The worker waits for the page to take its first call: the scan is running until pumped.
    page.parse();
    EXPECT_FALSE(page.browse());
    EXPECT_EQ(page.openSignatureEditor(), nullptr);
    page.parse();
    EXPECT_EQ(disk.sink.messages(), std::vector<std::string>(3, "Please wait for the running process."));
    page.waitForWorker();
    EXPECT_TRUE(page.browse());
    EXPECT_NE(page.openSignatureEditor(), nullptr);
}

TEST(SignatureEditorPage, WritesOneRecordPerSaveToTheChosenFile) {
    test::TempDir dir;
    platform::RecordingSink sink;
    app::SignatureEditorPage editor(sink);
    EXPECT_EQ(editor.title, "Setting");
    editor.form.extension = "png";
    editor.form.startSignature = "0x89,0x50,0x4E,0x47";
    EXPECT_FALSE(editor.save());
    editor.fileChosen(std::nullopt);
    EXPECT_EQ(editor.filePath, "");

    // Choosing an existing file empties it: the first Save makes it one record long.
    const std::string path = dir.file("types.txt");
    test::writeFile(path, std::vector<uint8_t>(177 * 3, 0));
    editor.fileChosen(path);
    EXPECT_EQ(editor.filePath, path);
    EXPECT_TRUE(editor.save());
    EXPECT_EQ(std::filesystem::file_size(path), 177u);
    editor.form.extension.clear();
    EXPECT_FALSE(editor.save());
    EXPECT_EQ(std::filesystem::file_size(path), 177u);
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"Select valid file to save the entries.", "File can not be created",
                                                         "everything initialized well.....", "extention length is zero.."}));
    EXPECT_EQ(app::fieldLabel(app::SignatureField::SkipSize), "Size_to_skip_WhileParsing :");
}

}  // namespace
}  // namespace vdrec
