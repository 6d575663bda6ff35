// Path helpers and the program's folders.
#include "app/folders.h"

#include "app/language.h"
#include "app/tests/apptestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <gtest/gtest.h>

#include <thread>

namespace {

using apptest::Q;

TEST(Folders, NamesSplitAtTheLastSeparatorOfEitherKind)
{
    struct Case {
        const char* path;
        const char* name;   // null: no separator
        const char* folder;
        const char* base;
        const char* pathFolder;
    } cases[] = {
        {"/home/u/report.v2.pdf", "report.v2.pdf", "/home/u", "report.v2", "/home/u/"},
        {"C:\\docs/sub\\a.pdf", "a.pdf", "C:\\docs/sub", "a", "C:\\docs/sub\\"},
        {"C:\\docs\\sub/a.pdf", "a.pdf", "C:\\docs\\sub", "a", "C:\\docs\\sub/"},
        {"/x/.hidden", ".hidden", "/x", ".hidden", "/x/"},
        {"/x.d/noext", "noext", "/x.d", "noext", "/x.d/"},
        {"/x/trailing/", "", "/x/trailing", "", "/x/trailing/"},
        {"file.pdf", nullptr, nullptr, "file", ""},
    };
    for (const auto& c : cases) {
        QString name = QStringLiteral("untouched");
        QString folder = QStringLiteral("untouched");
        EXPECT_EQ(GetFileNameFromPath(name, QString::fromUtf8(c.path)), c.name != nullptr) << c.path;
        EXPECT_EQ(GetFolderFromPath(folder, QString::fromUtf8(c.path)), c.folder != nullptr) << c.path;
        EXPECT_EQ(name, QString::fromUtf8(c.name ? c.name : "untouched")) << c.path;
        EXPECT_EQ(folder, QString::fromUtf8(c.folder ? c.folder : "untouched")) << c.path;
        EXPECT_EQ(GetBaseName(QString::fromUtf8(c.path)), QString::fromUtf8(c.base)) << c.path;
        EXPECT_EQ(GetPathFolder(QString::fromUtf8(c.path)), QString::fromUtf8(c.pathFolder)) << c.path;
    }
}

TEST(Folders, CreateFolderTreeMakesEveryMissingLevel)
{
    testutil::TempDir dir;
    testutil::fs::create_directories(dir.path() / "one");
    CreateFolderTree(Q(dir.path() / "one" / "two" / "three") + u'/');
    EXPECT_TRUE(testutil::fs::is_directory(dir.path() / "one" / "two" / "three"));
    CreateFolderTree(QString()); // nothing to do, nothing happens
    CreateFolderTree(Q(dir.path() / "one"));
    EXPECT_TRUE(testutil::fs::is_directory(dir.path() / "one" / "two"));
}

TEST(Folders, UserFoldersFollowXdg)
{
    apptest::FreshHome home;
    EXPECT_EQ(GetTempFolder(), home.qpath() + QStringLiteral("/.local/share/BrontixPdfTools/tmp"));
    EXPECT_FALSE(QFileInfo::exists(GetTempFolder())); // not created by asking
    EXPECT_EQ(GetMyDocumentsFolder(), home.qpath() + QStringLiteral("/Documents"));
    EXPECT_TRUE(QFileInfo(GetMyDocumentsFolder()).isDir()); // created by asking

    apptest::ScopedEnv env;
    env.Set("XDG_DATA_HOME", home.path().string() + "/data");
    EXPECT_EQ(GetTempFolder(), home.qpath() + QStringLiteral("/data/BrontixPdfTools/tmp"));
    // The documents folder named in the user's XDG folder list.
    testutil::WriteFile(home.path() / ".config" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(GetMyDocumentsFolder(), home.qpath() + QStringLiteral("/Dokumente"));
}

TEST(Folders, ProgramAndToolFolders)
{
    const QString program = GetAppFolder();
    EXPECT_TRUE(QFileInfo::exists(program + QStringLiteral("/folvane_app_test")));
    EXPECT_EQ(GetToolFolder(), program + QStringLiteral("/temple/bin"));
}

TEST(Folders, ProductPageByLanguage)
{
    const QString saved = GetCurrentLanguage();
    for (const char* code : {"jp", "de", "fr"}) {
        SetCurrentLanguage(QString::fromUtf8(code));
        EXPECT_TRUE(GetProductPageUrl().endsWith(QStringLiteral("/%1/pdf-converter-free.html").arg(code)));
    }
    SetCurrentLanguage(QStringLiteral("en"));
    const QString url = GetProductPageUrl();
    EXPECT_TRUE(url.startsWith(QStringLiteral("https://")));
    EXPECT_EQ(url.count(u'/'), 3) << url.toStdString(); // at the top of the site
    SetCurrentLanguage(saved);
}

TEST(Folders, MainWindowOnlyOnTheInterfaceThread)
{
    QWidget window;
    SetMainWindow(&window);
    EXPECT_EQ(GetMainWindow(), &window);
    QWidget* seen = &window;
    std::thread([&] { seen = GetMainWindow(); }).join();
    EXPECT_EQ(seen, nullptr);
    SetMainWindow(nullptr);
    EXPECT_EQ(GetMainWindow(), nullptr);
}

} // namespace
