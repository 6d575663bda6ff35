// The folder tree with check boxes on a real temporary folder (hidden
// folders, a link to elsewhere and a link loop), and the folder browser's
// short paths.
#include "app/controls/tests/qtenv.h"

#include "app/controls/folderdialog.h"
#include "app/controls/shellfolderctrl.h"
#include "app/controls/windowmessage.h"

#include "tests/support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = QString::fromStdString(tmp.path().string());
        for (const char* dir : {"top/.hidden/deep", "top/a/b", "top/Zeta", "other/x"})
            fs::create_directories(tmp.path() / dir);
        fs::create_directory_symlink("../..", tmp.path() / "top/a/b/loop");
        fs::create_directory_symlink("../other", tmp.path() / "top/elsewhere");
        testutil::WriteFile(tmp.path() / "top/a/file.pdf", "%PDF-1.4\n");
        tree = std::make_unique<CCheckShellFolderCtrl>();
        tree->resize(400, 600);
        tree->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get()));
    }

    QString Path(const char* relative) const { return root + QLatin1Char('/') + QLatin1String(relative); }

    QTreeWidgetItem* Item(const char* relative)
    {
        const QString want = Path(relative);
        QTreeWidgetItemIterator it(tree.get());
        for (; *it; ++it)
            if (tree->GetItemPath(*it) == want)
                return *it;
        return nullptr;
    }

    void ClickBox(QTreeWidgetItem* item)
    {
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->CheckBoxRect(item).center());
    }

    QStringList Collect()
    {
        QStringList folders;
        const bool cancelled = false;
        EXPECT_EQ(tree->GetCheckedFolders(folders, cancelled), 1);
        folders.sort();
        return folders;
    }

    QStringList Expected(std::initializer_list<const char*> relative) const
    {
        QStringList list;
        for (const char* r : relative)
            list << Path(r);
        list.sort();
        return list;
    }

    testutil::TempDir tmp;
    QString root;
    std::unique_ptr<CCheckShellFolderCtrl> tree;
};

TEST_F(FolderTreeTest, ShowsHiddenFoldersSortedAndLinksWithoutLoops)
{
    tree->InitTree(root, Path("top"));
    QTreeWidgetItem* top = Item("top");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(tree->currentItem(), top);
    EXPECT_EQ(top->childCount(), 0) << "the opened path ends at a selected, closed folder";
    top->setExpanded(true);
    QStringList names;
    for (int i = 0; i < top->childCount(); ++i)
        names << top->child(i)->text(0);
    EXPECT_EQ(names, (QStringList{".hidden", "a", "elsewhere", "Zeta"}));
    EXPECT_TRUE(Item("top/elsewhere")->data(0, CShellFolderCtrl::LinkRole).toBool());
    EXPECT_EQ(Item("top/a")->childCount(), 0) << "filled only when opened";

    Item("top/a")->setExpanded(true);
    Item("top/a/b")->setExpanded(true);
    QTreeWidgetItem* loop = Item("top/a/b/loop");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    loop->setExpanded(true);
    EXPECT_EQ(loop->childCount(), 0) << "a link back up opens into nothing";
    EXPECT_FALSE(tree->SelectPath(QStringLiteral("/not/below/the/root")));
}

TEST_F(FolderTreeTest, ANeverOpenedCheckedFolderGathersEveryFolderBelowItOnDiskOnce)
{
    tree->InitTree(root);
    QTreeWidgetItem* top = Item("top");
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(top->childCount(), 0);
    ClickBox(top);
    EXPECT_TRUE(tree->IsChecked(top));
    EXPECT_TRUE(tree->IsBold(top));
    EXPECT_TRUE(tree->IsBold(tree->topLevelItem(0))) << "the root holds something checked";
    EXPECT_FALSE(tree->IsChecked(tree->topLevelItem(0)));
    EXPECT_EQ(Collect(), Expected({"top", "top/.hidden", "top/.hidden/deep", "top/a", "top/a/b",
                                   "top/elsewhere", "top/elsewhere/x", "top/Zeta"}));
}

TEST_F(FolderTreeTest, AnOpenedCheckedFolderGathersItsTreeAndTheDiskBelowUnopenedFolders)
{
    tree->InitTree(root, Path("top/a"));
    Item("top/a")->setExpanded(true);   // a is open, b below it never was
    QTreeWidgetItem* top = Item("top");
    ClickBox(top);
    for (const char* r : {"top/.hidden", "top/a", "top/a/b", "top/Zeta"})
        EXPECT_TRUE(tree->IsChecked(Item(r))) << r;
    EXPECT_EQ(Collect(), Expected({"top", "top/.hidden", "top/.hidden/deep", "top/a", "top/a/b",
                                   "top/elsewhere", "top/elsewhere/x", "top/Zeta"}));

    // Folders opened later take their parent's state.
    Item("top/a/b")->setExpanded(true);
    EXPECT_TRUE(tree->IsChecked(Item("top/a/b/loop")));
}

TEST_F(FolderTreeTest, UncheckingTheOnlyCheckedChildClearsTheParentsBold)
{
    tree->InitTree(root, Path("top/a"));
    Item("top/a")->setExpanded(true);
    QTreeWidgetItem* b = Item("top/a/b");
    ASSERT_NE(b, nullptr);
    ClickBox(b);
    EXPECT_TRUE(tree->IsBold(Item("top/a")));
    EXPECT_TRUE(tree->IsBold(Item("top")));
    EXPECT_FALSE(tree->IsChecked(Item("top/a")));
    EXPECT_EQ(Collect(), Expected({"top/a/b"})) << "the loop below b is not followed";

    ClickBox(b);
    EXPECT_FALSE(tree->IsChecked(b));
    for (const char* r : {"top/a", "top"})
        EXPECT_FALSE(tree->IsBold(Item(r))) << r;
    EXPECT_TRUE(Collect().isEmpty());

    // A click beside the box selects without toggling.
    QTreeWidgetItem* zeta = Item("top/Zeta");
    const QRect text = tree->visualItemRect(zeta);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(text.right() - 5, text.center().y()));
    EXPECT_EQ(tree->currentItem(), zeta);
    EXPECT_FALSE(tree->IsChecked(zeta));
    // A click below every item does nothing.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 590));
    EXPECT_EQ(tree->currentItem(), zeta);
}

TEST_F(FolderTreeTest, CancellingEndsTheWalkWithWhatItGathered)
{
    tree->InitTree(root);
    ClickBox(Item("top"));
    QStringList folders;
    bool cancelled = false;
    int pumps = 0;
    // Each pending-event pass of the walk lets this timer count; the third
    // pass cancels.
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++pumps == 3)
            cancelled = true;
    });
    timer.start(0);
    tree->GetCheckedFolders(folders, cancelled);
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(folders.isEmpty());
    EXPECT_LT(folders.size(), 8);
    EXPECT_EQ(folders.first(), Path("top"));
}

TEST_F(FolderTreeTest, RefreshFillsAnItemAgain)
{
    tree->InitTree(root, Path("top"));
    QTreeWidgetItem* top = Item("top");
    top->setExpanded(true);
    const int before = top->childCount();
    fs::create_directory(tmp.path() / "top/new");
    SendWindowMessage(tree.get(), CShellFolderCtrl::kRefreshMessage, reinterpret_cast<quintptr>(top), 0);
    EXPECT_EQ(top->childCount(), before + 1);
    EXPECT_TRUE(top->isExpanded());
    EXPECT_NE(Item("top/new"), nullptr);
}

TEST(FolderLinks, OnlyLinksBackUpTheirOwnPathCountAsLoops)
{
    testutil::TempDir tmp;
    fs::create_directories(tmp.path() / "a/b");
    fs::create_directories(tmp.path() / "c");
    fs::create_directory_symlink("..", tmp.path() / "a/b/up");
    fs::create_directory_symlink(".", tmp.path() / "a/self");
    fs::create_directory_symlink("../c", tmp.path() / "a/side");
    fs::create_directory_symlink("missing", tmp.path() / "a/broken");
    fs::create_directory_symlink("/", tmp.path() / "a/root");
    const auto loop = [&](const char* r) {
        return IsLinkIntoAncestor(QString::fromStdString((tmp.path() / r).string()));
    };
    EXPECT_TRUE(loop("a/b/up"));
    EXPECT_TRUE(loop("a/self"));
    EXPECT_TRUE(loop("a/broken"));
    EXPECT_TRUE(loop("a/root"));
    EXPECT_FALSE(loop("a/side"));
    EXPECT_FALSE(loop("a/b")) << "not a link";
}

// --- folder browser -------------------------------------------------------------------

TEST(FolderDialog, ShortPathsKeep35Characters)
{
    const QString forty = QString(40, QLatin1Char('p'));
    EXPECT_EQ(ShortFolderPath(forty), QString(35, QLatin1Char('p')) + QStringLiteral("..."));
    EXPECT_EQ(ShortFolderPath(QString(35, QLatin1Char('q'))), QString(35, QLatin1Char('q')));
    EXPECT_EQ(ShortFolderPath(QString()), QString());
}

TEST(FolderDialog, ReturnsTheChosenFolderOrCancel)
{
    testutil::TempDir tmp;
    fs::create_directories(tmp.path() / "start/inner");
    const QString start = QString::fromStdString((tmp.path() / "start").string());

    const auto run = [&](bool accept, QString* status) {
        CFolderDialog dialog(start);
        QTimer::singleShot(50, [&] {
            auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!browser)
                return;
            for (QLabel* label : browser->findChildren<QLabel*>())
                if (label->text().startsWith(QLatin1Char('/')) || label->text().endsWith(QLatin1String("...")))
                    *status = label->text();
            if (accept)
                static_cast<QDialog*>(browser)->accept();
            else
                static_cast<QDialog*>(browser)->reject();
        });
        const int result = dialog.DoModal();
        return std::make_pair(result, dialog.GetFolderPath());
    };
    QString status;
    const auto [ok, chosen] = run(true, &status);
    EXPECT_EQ(ok, CFolderDialog::IDOK);
    EXPECT_EQ(chosen, start);
    EXPECT_EQ(status, ShortFolderPath(start));
    const auto [cancel, unchanged] = run(false, &status);
    EXPECT_EQ(cancel, CFolderDialog::IDCANCEL);
    EXPECT_EQ(unchanged, start);
}

} // namespace
