// The desktop wizard driven through its real windows on the offscreen platform: every dialog is
// answered by a script, every other input is a click or a key on the widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <set>

#include "dialog_host.h"
#include "image_page.h"
#include "page_window.h"
#include "support/test_support.h"
#include "wizard.h"

namespace vdrec::gui {
namespace {

class ScriptedDialogs final : public DialogHost {
public:
    void message(QWidget*, const QString& text) override { messages.push_back(text.toStdString()); }
    bool question(QWidget*, const QString& text) override {
        questions.push_back(text.toStdString());
        return answerYes;
    }
    std::optional<QString> pickFolder(QWidget*, const QString& title) override {
        folderTitles.push_back(title.toStdString());
        return folder;
    }
    std::optional<QString> pickFileToOpen(QWidget*, const QString& filters) override {
        imageFilters = filters.toStdString();
        return image;
    }
    std::optional<QString> pickFileToSave(QWidget*, const QString&) override { return saveAs; }
    void about(QWidget*, const QString& text) override { aboutTexts.push_back(text.toStdString()); }
    void openUrl(const QUrl& url) override { opened.push_back(url); }

    bool answerYes = true;
    std::optional<QString> folder, image, saveAs;
    std::vector<std::string> messages, questions, folderTitles, aboutTexts;
    std::string imageFilters;
    std::vector<QUrl> opened;
};

bool contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Runs the event loop until the page the user sees has no worker running.
PageWindow* settled(Wizard& wizard) {
    const QDeadlineTimer deadline(60000);
    while (wizard.currentWindow() && wizard.currentWindow()->workerActive() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents();
    return wizard.currentWindow();
}

template <typename T>
T* control(PageWindow* page, const char* name) {
    T* widget = page ? page->findChild<T*>(name) : nullptr;
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void click(PageWindow* page, const char* name) {
    if (auto* button = control<QAbstractButton>(page, name)) button->click();
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& name) {
    for (int k = 0; parent && k < parent->childCount(); ++k)
        if (parent->child(k)->text(0) == name) return parent->child(k);
    return nullptr;
}

std::string sha256(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "missing " + path;
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().toStdString();
}

struct Running {
    test::TempDir dir;
    ScriptedDialogs dialogs;
    int quits = 0;
    Wizard wizard{dialogs, [this] { ++quits; }};
};

TEST(Wizard, RecoversAFolderFromAnNtfsVolumeThroughEveryPage) {
    Running app;
    // A raw disk image under its own name opens as "Fixed Disk".
    const std::string image = app.dir.file("ntfs-main.img");
    ASSERT_TRUE(QFile::link(QString::fromStdString(test::fixture("ntfs-main.img")), QString::fromStdString(image)));
    app.dialogs.image = QString::fromStdString(image);
    ASSERT_TRUE(app.wizard.start(app.dir.file("app.lock")));

    PageWindow* first = app.wizard.currentWindow();
    ASSERT_EQ(first, app.wizard.firstWindow());
    EXPECT_EQ(first->windowTitle(), "Virtual Disk Recovery");
    EXPECT_FALSE(control<QPushButton>(first, "next")->isEnabled());
    click(first, "fixedDisk");
    click(first, "browse");
    EXPECT_EQ(app.dialogs.imageFilters, "Raw Disk Images (*.img *.raw *.dd *.bin *.vhd);;All Files (*)");
    EXPECT_EQ(control<QLineEdit>(first, "path")->text().toStdString(), image);
    EXPECT_EQ(control<QLineEdit>(first, "diskSize")->text(), "12");
    click(first, "next");

    PageWindow* modes = settled(app.wizard);
    ASSERT_EQ(modes->pageName(), "mode");
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(control<QLabel>(modes, "status")->text(), "Choose any one of the mode and Click Next....");
    click(modes, "advanceScan");
    click(modes, "next");

    // The signature scan runs on the volume page's worker and finds the bare volume at sector 0.
    PageWindow* volumes = settled(app.wizard);
    ASSERT_EQ(volumes->pageName(), "volumes");
    EXPECT_TRUE(contains(app.dialogs.messages, "populated partitions....")) << testing::PrintToString(app.dialogs.messages);
    EXPECT_EQ(control<QLabel>(volumes, "status")->text(), "Select volume and click next button...");
    auto* table = control<QTableWidget>(volumes, "volumes");
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 1)->text(), "NTFS");
    EXPECT_EQ(table->item(0, 3)->text(), "0");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(0, 0)).center());
    EXPECT_EQ(control<QLabel>(volumes, "selectedVolume")->text(), "0");
    click(volumes, "next");

    PageWindow* recovery = settled(app.wizard);
    ASSERT_EQ(recovery->pageName(), "recovery-mode");
    EXPECT_TRUE(control<QRadioButton>(recovery, "standard")->isChecked());
    click(recovery, "next");

    PageWindow* results = settled(app.wizard);
    ASSERT_EQ(results->pageName(), "results");
    EXPECT_TRUE(contains(app.dialogs.messages, "Scanning processing done.Select save button to save the data."));
    auto* tree = control<QTreeWidget>(results, "tree");
    auto* list = control<QTreeWidget>(results, "list");
    EXPECT_TRUE(tree->isEnabled());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "ROOT");
    QTreeWidgetItem* docs = childNamed(root, "Docs");
    ASSERT_NE(docs, nullptr);
    // Lazy: the folder holds only its placeholder until it is expanded.
    ASSERT_EQ(docs->childCount(), 1);
    EXPECT_EQ(docs->child(0)->text(0), "..DUMY..");

    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(docs).center());
    ASSERT_EQ(list->topLevelItemCount(), 5);
    // Deleted files are drawn in red, beside the live report.txt.
    std::multiset<QString> red, black;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = list->topLevelItem(r);
        (row->foreground(0).color() == QColor(255, 0, 0) ? red : black).insert(row->text(0));
    }
    EXPECT_EQ(red, (std::multiset<QString>{"report.txt", "notes.txt", "draft.txt"}));
    EXPECT_EQ(black, (std::multiset<QString>{"report.txt", "Résumé – final version.txt"}));

    // Checking the folder checks what is below it and leaves its parent partly checked.
    docs = childNamed(tree->topLevelItem(0), "Docs");
    docs->setExpanded(true);
    docs = childNamed(tree->topLevelItem(0), "Docs");
    ASSERT_NE(childNamed(docs, "Reports"), nullptr);
    EXPECT_EQ(childNamed(docs, "..DUMY.."), nullptr);
    docs->setCheckState(0, Qt::Checked);
    EXPECT_EQ(docs->checkState(0), Qt::Checked);
    EXPECT_EQ(childNamed(docs, "Reports")->checkState(0), Qt::Checked);
    EXPECT_EQ(tree->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);

    // Save the selected folder into a folder the user picks.
    test::TempDir out;
    app.dialogs.folder = QString::fromStdString(out.path());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(docs).center());
    click(results, "save");
    EXPECT_TRUE(contains(app.dialogs.questions,
                         "Number of files found inside this folder = 10 .Do you want to continue dumping these files..?"));
    EXPECT_EQ(app.dialogs.messages.back(), "work done");
    // The live and the deleted report.txt both saved, under two names.
    EXPECT_EQ((std::set<std::string>{sha256(out.file("report.txt")), sha256(out.file("report (1).txt"))}),
              (std::set<std::string>{"2b4a1694fd8e23b9f87fe8e76a8f1f63b2cce39b28cda4b44cf04c13d3d2ee12",
                                     "f69216c0455388bd292f26c425e44e8c1971d9c033a7872993e8b2f3a25cbc01"}));
    EXPECT_EQ(sha256(out.file("Old/2019.txt")), "238a0f7d35e3567276e236207a4d185ccbe11986d4fd78462a0deea18d26b030");
    EXPECT_EQ(sha256(out.file("Reports/2024/q1-summary.txt")),
              "6b26d6c4c28734c3f3e8a870c4ac81192e0038040150e58fe2d70c5bff3b5a1b");
    EXPECT_EQ(sha256(out.file("Reports/index.txt")), "5d734b9ebd7e1e46f3b6a8d70186792969b6cee7761df5b8e39cab8d1f291ea4");
    EXPECT_EQ(sha256(out.file("Résumé – final version.txt")),
              "1cd01903a662a81dc1b3d196d79767374636d274576ca3f2dc7eb6fffc6b9b49");

    // Search hits keep the list's deleted style and file icons.
    QTest::keyClicks(control<QLineEdit>(results, "search"), "report");
    click(results, "searchButton");
    ASSERT_EQ(settled(app.wizard), results);
    EXPECT_EQ(app.dialogs.messages.back(), "Searching Finished");
    std::multiset<QString> redHits, blackHits;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = list->topLevelItem(r);
        EXPECT_FALSE(row->icon(0).isNull()) << row->text(0).toStdString();
        (row->foreground(0).color() == QColor(255, 0, 0) ? redHits : blackHits).insert(row->text(0));
    }
    EXPECT_EQ(redHits, (std::multiset<QString>{"ROOT/Docs/report.txt"}));
    EXPECT_TRUE(blackHits.count("ROOT/Docs/report.txt") == 1) << blackHits.size();

    // Back returns to the recovery-mode page; closing there asks first and No keeps it.
    click(results, "back");
    ASSERT_EQ(settled(app.wizard), recovery);
    EXPECT_TRUE(recovery->isVisible());
    app.dialogs.answerYes = false;
    EXPECT_FALSE(recovery->close());
    EXPECT_EQ(app.dialogs.questions.back(), "Do you want to Close Application ?");
    EXPECT_TRUE(recovery->isVisible());
    EXPECT_EQ(app.quits, 0);
    app.dialogs.answerYes = true;
    recovery->close();
    EXPECT_EQ(app.quits, 1);
    ASSERT_FALSE(app.dialogs.opened.empty());
    EXPECT_TRUE(app.dialogs.opened.back().toString().endsWith("index.html")) << app.dialogs.opened.back().toString().toStdString();
}

TEST(Wizard, CarvesAVolumeTreatedAsRawAndSavesTheCheckedFinds) {
    Running app;
    const std::string image = app.dir.file("carve-small.img");
    ASSERT_TRUE(QFile::link(QString::fromStdString(test::fixture("carve-small.img")), QString::fromStdString(image)));
    app.dialogs.image = QString::fromStdString(image);
    ASSERT_TRUE(app.wizard.start(app.dir.file("app.lock")));
    PageWindow* first = app.wizard.currentWindow();
    click(first, "fixedDisk");
    click(first, "browse");
    click(first, "next");
    PageWindow* modes = settled(app.wizard);
    click(modes, "advanceScan");
    click(modes, "next");

    // No volume on this disk: the user adds one over the whole disk and treats it as RAW.
    PageWindow* volumes = settled(app.wizard);
    ASSERT_EQ(volumes->pageName(), "volumes");
    click(volumes, "addCustomVolume");
    auto* treatAs = control<QComboBox>(volumes, "treatAs");
    const int raw = treatAs->findText("RAW");
    ASSERT_GE(raw, 0);
    treatAs->setCurrentIndex(raw);
    emit treatAs->activated(raw);
    click(volumes, "next");

    PageWindow* page = settled(app.wizard);
    ASSERT_EQ(page->pageName(), "raw-recovery");
    EXPECT_EQ(page->windowTitle(), "Raw Recovery Dialog");
    EXPECT_EQ(control<QLabel>(page, "status")->text(), "Please select parse button to scan the default file.");
    // The default signatures, named in the field instead of beside this test program.
    control<QCheckBox>(page, "loadDefault")->click();
    auto* path = control<QLineEdit>(page, "signaturePath");
    path->clear();
    QTest::keyClicks(path, VDREC_DEFAULT_SIGNATURES);
    click(page, "parse");
    page = settled(app.wizard);
    ASSERT_EQ(page->pageName(), "raw-recovery");
    EXPECT_TRUE(contains(app.dialogs.messages, "done..")) << testing::PrintToString(app.dialogs.messages);
    EXPECT_FALSE(control<QPushButton>(page, "parse")->isEnabled());

    auto* tree = control<QTreeWidget>(page, "tree");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "RAW RECOVERY ");
    QTreeWidgetItem* pictures = nullptr;
    for (int k = 0; k < root->childCount(); ++k)
        if (root->child(k)->text(0).startsWith("Pictures (")) pictures = root->child(k);
    ASSERT_NE(pictures, nullptr);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(pictures).center());
    auto* list = control<QTreeWidget>(page, "list");
    std::set<QString> listed;
    for (int r = 0; r < list->topLevelItemCount(); ++r) listed.insert(list->topLevelItem(r)->text(0));
    EXPECT_TRUE(listed.count("32768 .png") == 1 && listed.count("135680 .jpg") == 1) << pictures->text(0).toStdString();

    pictures->setCheckState(0, Qt::Checked);
    test::TempDir out;
    app.dialogs.folder = QString::fromStdString(out.path());
    click(page, "save");
    settled(app.wizard);
    EXPECT_EQ(app.dialogs.messages.back(), "work done");
    EXPECT_EQ(sha256(out.file("32768 .png")), "9bf4535b62382d015db4a109e16c038af8853f022cd01b086899e83398ac3647");
    EXPECT_EQ(sha256(out.file("135680 .jpg")), "785608d42a6851ab4d0dafcb05da857cf54a24f7d9164edbcc3dd0884eb518c8");

    click(page, "back");
    EXPECT_EQ(settled(app.wizard), volumes);
}

TEST(Wizard, EnterNeverQuitsAndEscapeAsksBeforeClosing) {
    Running app;
    ASSERT_TRUE(app.wizard.start(app.dir.file("app.lock")));
    PageWindow* first = app.wizard.currentWindow();
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(app.dialogs.questions.empty());
    app.dialogs.answerYes = false;
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_EQ(app.dialogs.questions, std::vector<std::string>{"Do you want to Close Application ?"});
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(app.quits, 0);
}

TEST(Wizard, RefusesNextWithoutAFileAndShowsTheAboutBox) {
    Running app;
    ASSERT_TRUE(app.wizard.start(app.dir.file("app.lock")));
    PageWindow* first = app.wizard.currentWindow();
    // A missing file, chosen by the script: the page refuses it and stays.
    app.dialogs.image = QString::fromStdString(app.dir.file("missing.vhd"));
    click(first, "browse");
    EXPECT_FALSE(control<QPushButton>(first, "next")->isEnabled());
    EXPECT_EQ(app.dialogs.messages, std::vector<std::string>{"invalid handle ..."});
    auto* help = control<QPushButton>(first, "help");
    ASSERT_NE(help->menu(), nullptr);
    QStringList items;
    for (QAction* action : help->menu()->actions()) items << action->text();
    EXPECT_EQ(items, (QStringList{"Help", "Software Homepage", "About"}));
    help->menu()->actions()[2]->trigger();
    ASSERT_EQ(app.dialogs.aboutTexts.size(), 1u);
    EXPECT_NE(app.dialogs.aboutTexts[0].find("Virtual Disk Recovery"), std::string::npos);
    EXPECT_NE(app.dialogs.aboutTexts[0].find(VDREC_TEST_VERSION), std::string::npos);
    help->menu()->actions()[0]->trigger();
    ASSERT_EQ(app.dialogs.opened.size(), 1u);
    EXPECT_TRUE(app.dialogs.opened[0].toString().endsWith("help.html"));
}

TEST(Wizard, SecondInstanceIsToldAndDoesNotStart) {
    Running first, second;
    const std::string lock = first.dir.file("app.lock");
    ASSERT_TRUE(first.wizard.start(lock));
    EXPECT_FALSE(second.wizard.start(lock));
    EXPECT_EQ(second.dialogs.messages, std::vector<std::string>{"Another instance of application is already running"});
    EXPECT_EQ(second.wizard.firstWindow(), nullptr);
}

}  // namespace
}  // namespace vdrec::gui

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
