// The conversion job driven through the main window on the offscreen
// platform: real PDFs added (one protected, one damaged), every engine format
// converted with the Status column followed message by message, outputs
// checked, a cancel in the middle, and closing the window while a job runs.
#include "app/pdfrezovirordlg.h"

#include "app/controls/windowmessage.h"
#include "app/controls/xlistctrl.h"
#include "app/settingsstorage.h"
#include "app/tests/apptestutil.h"
#include "engine/writers/epub/tests/epubtestutil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

namespace fs = testutil::fs;
using apptest::Q;

// The job messages the window received, per list row, in order.
class MessageLog : public QObject {
public:
    struct Entry {
        unsigned message;
        int value;
    };
    explicit MessageLog(CPdfRezovirorDlg& dlg) : dlg_(dlg) { dlg.installEventFilter(this); }

    std::map<int, std::vector<Entry>> rows;
    int finished = 0;
    // Called after a state message 1 arrived for a row (before the window
    // handles it).
    std::function<void(int row)> onStarted;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const WindowMessage* m = AsWindowMessage(event);
        if (!m)
            return false;
        if (m->message() == WM_JOB_FINISHED) {
            ++finished;
        } else if (m->message() == WM_PROGRESS_PERCENT || m->message() == WM_PROGRESS_STATE) {
            const ConvertJob* job = dlg_.Job();
            const int row = job->items[m->wParam()].rowNumber - 1;
            rows[row].push_back({m->message(), static_cast<int>(m->lParam())});
            if (m->message() == WM_PROGRESS_STATE && m->lParam() == 1 && onStarted)
                onStarted(row);
        }
        return false;
    }

private:
    CPdfRezovirorDlg& dlg_;
};

bool WaitIdle(CPdfRezovirorDlg& dlg, int ms = 240000)
{
    QElapsedTimer t;
    t.start();
    while (dlg.IsRunning() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return !dlg.IsRunning();
}

QString Status(CPdfRezovirorDlg& dlg, int row)
{
    return dlg.List()->GetItemText(row, kStatusColumn);
}

bool ProgressShown(CPdfRezovirorDlg& dlg, int row)
{
    return dlg.List()->GetModel()->Cell(row, kStatusColumn)->progressOn != 0;
}

struct Fixtures {
    testutil::TempDir dir;
    fs::path plain, locked, damaged, big, out;
    Fixtures()
    {
        EXPECT_TRUE(testutil::MakePdfFixtures(dir.path(), "pages3:plain truncated:damaged pages150:big"));
        plain = dir.path() / "plain.pdf";
        locked = dir.path() / "locked.pdf";
        damaged = dir.path() / "damaged.pdf";
        big = dir.path() / "big.pdf";
        out = dir.path() / "out";
        fs::create_directories(out);
        int status = -1;
        testutil::Run("qpdf --encrypt user owner 256 -- " + testutil::Quote(plain.string()) + " " +
                          testutil::Quote(locked.string()),
                      &status);
        EXPECT_EQ(status, 0);
    }
};

void UseOutputFolder(CPdfRezovirorDlg& dlg, const fs::path& out)
{
    dlg.Settings().CustomOutputFolder = 1;
    dlg.Settings().OutputFolder = Q(out);
}

TEST(ConvertJob, EveryEngineFormatFromPlainAndProtectedFilesWithTheStatusColumnFollowingTheJob)
{
    apptest::FreshHome home;
    Fixtures f;
    CSettingsStorageMemory storage;
    CPdfRezovirorDlg dlg(storage);
    std::vector<QString> asked;
    dlg.SetPasswordPrompt([&asked](const QString& path) {
        asked.push_back(path);
        return std::string("user");
    });
    dlg.show();

    EXPECT_TRUE(dlg.AddFile(Q(f.plain)));
    EXPECT_TRUE(dlg.AddFile(Q(f.locked)));
    EXPECT_FALSE(dlg.AddFile(Q(f.damaged)));
    ASSERT_EQ(dlg.List()->GetItemCount(), 2);
    EXPECT_EQ(asked, std::vector<QString>{Q(f.locked)});
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(dlg.List()->GetItemText(row, 0), QString::number(row + 1));
        EXPECT_EQ(dlg.List()->GetItemText(row, 3), QStringLiteral("3"));
    }
    EXPECT_TRUE(dlg.Item(1)->needsPassword);
    EXPECT_EQ(dlg.ToolBar(kBarConvert)->ButtonState(301), 1);
    UseOutputFolder(dlg, f.out);

    const struct {
        int format;
        const char* ending;   // of the output path
        bool folder;          // the output is a folder
    } cases[] = {
        {1, ".epub", false}, {2, ".txt", false}, {3, "", true}, {4, "", true}, {7, ".docx", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        MessageLog log(dlg);
        dlg.OnCoolBarCommand(c.format);
        dlg.OnCoolBarCommand(301);
        EXPECT_TRUE(dlg.IsRunning());
        // While running the add buttons are off and the convert button
        // cancels.
        EXPECT_EQ(dlg.ToolBar(kBarAddFiles)->ButtonState(201), 0);
        ASSERT_TRUE(WaitIdle(dlg));
        EXPECT_EQ(log.finished, 1);
        EXPECT_EQ(dlg.ToolBar(kBarAddFiles)->ButtonState(201), 1);
        for (int row = 0; row < 2; ++row) {
            SCOPED_TRACE(row);
            const auto& seen = log.rows[row];
            ASSERT_GE(seen.size(), 3u);
            // Started, percents rising to 100, done.
            EXPECT_EQ(seen.front().message, WM_PROGRESS_STATE);
            EXPECT_EQ(seen.front().value, 1);
            EXPECT_EQ(seen.back().message, WM_PROGRESS_STATE);
            EXPECT_EQ(seen.back().value, 2);
            int last = -1;
            for (const auto& e : seen)
                if (e.message == WM_PROGRESS_PERCENT) {
                    EXPECT_GE(e.value, last);
                    last = e.value;
                }
            EXPECT_EQ(last, 100);
            EXPECT_EQ(Status(dlg, row), QStringLiteral("Success"));
            EXPECT_FALSE(ProgressShown(dlg, row));
            EXPECT_EQ(dlg.Item(row)->status, kItemDone);
            const QString result = QString::fromStdWString(*dlg.Item(row)->result);
            EXPECT_TRUE(result.startsWith(Q(f.out))) << result.toStdString();
            EXPECT_TRUE(result.endsWith(QString::fromUtf8(c.ending)));
            const QFileInfo info(result);
            EXPECT_TRUE(c.folder ? info.isDir() : info.isFile()) << result.toStdString();
        }
        if (c.format == 2) {
            // The protected file's text came through its password.
            const std::string text = testutil::ReadFile(fs::path(*dlg.Item(1)->result));
            EXPECT_NE(text.find("Page 2 of 3"), std::string::npos);
        }
        if (c.format == 1) {
            EXPECT_TRUE(epubtest::PassesEpubcheck(fs::path(*dlg.Item(0)->result).string()));
        }
    }

    // Merging on with an engine format: both files in one book named after
    // them, each row "Success" with that book as its result.
    dlg.OnCoolBarCommand(503);
    EXPECT_EQ(dlg.ToolBar(kBarConvert)->ButtonState(301), 1);
    dlg.OnCoolBarCommand(1);
    dlg.OnCoolBarCommand(301);
    ASSERT_TRUE(WaitIdle(dlg));
    EXPECT_EQ(dlg.Job()->settings.MergeName, QStringLiteral("plain_locked"));
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(Status(dlg, row), QStringLiteral("Success"));
        EXPECT_EQ(fs::path(*dlg.Item(row)->result), f.out / "plain_locked.epub");
    }
    EXPECT_TRUE(epubtest::PassesEpubcheck((f.out / "plain_locked.epub").string()));
    dlg.OnCoolBarCommand(503);

    // The Status cell follows state messages: 3 shows "Failed", 1 turns it
    // back into a bar at 0, 2 shows "Success".
    SendWindowMessage(&dlg, WM_PROGRESS_STATE, 0, 3);
    EXPECT_EQ(Status(dlg, 0), QStringLiteral("Failed"));
    SendWindowMessage(&dlg, WM_PROGRESS_STATE, 0, 1);
    EXPECT_TRUE(ProgressShown(dlg, 0));
    EXPECT_EQ(dlg.List()->GetModel()->Cell(0, kStatusColumn)->percent, 0);
    SendWindowMessage(&dlg, WM_PROGRESS_STATE, 0, 2);
    EXPECT_FALSE(ProgressShown(dlg, 0));
    EXPECT_EQ(Status(dlg, 0), QStringLiteral("Success"));
    // An index the job does not hold touches nothing.
    SendWindowMessage(&dlg, WM_PROGRESS_STATE, 7, 3);
    EXPECT_EQ(Status(dlg, 0), QStringLiteral("Success"));
    EXPECT_EQ(Status(dlg, 1), QStringLiteral("Success"));
}

TEST(ConvertJob, CancelInTheMiddleLeavesTheWindowIdleWithTheCurrentItemFailed)
{
    apptest::FreshHome home;
    Fixtures f;
    CSettingsStorageMemory storage;
    CPdfRezovirorDlg dlg(storage);
    dlg.show();
    ASSERT_TRUE(dlg.AddFile(Q(f.big)));
    ASSERT_TRUE(dlg.AddFile(Q(f.plain)));
    UseOutputFolder(dlg, f.out);
    dlg.OnCoolBarCommand(1);

    MessageLog log(dlg);
    int presses = 0;
    // The first item's start is seen: Convert (now Cancel) is pressed, twice
    // to show a second press does no harm.
    log.onStarted = [&](int row) {
        if (row == 0 && presses == 0) {
            dlg.OnCoolBarCommand(301);
            dlg.OnCoolBarCommand(301);
            presses = 2;
        }
    };
    dlg.OnCoolBarCommand(301);
    ASSERT_TRUE(WaitIdle(dlg));
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(log.finished, 1);
    EXPECT_EQ(Status(dlg, 0), QStringLiteral("Failed"));
    EXPECT_EQ(dlg.Item(0)->status, kItemFailed);
    // The second item was never reached.
    EXPECT_TRUE(log.rows[1].empty());
    EXPECT_EQ(Status(dlg, 1), QString());
    EXPECT_EQ(dlg.Item(1)->status, kItemWaiting);
    EXPECT_TRUE(fs::is_empty(f.out));
    // Idle again: a new job can start and runs to the end.
    dlg.OnCoolBarCommand(301);
    ASSERT_TRUE(WaitIdle(dlg));
    EXPECT_EQ(Status(dlg, 0), QStringLiteral("Success"));
    EXPECT_EQ(Status(dlg, 1), QStringLiteral("Success"));
}

TEST(ConvertJob, ClosingTheWindowDuringAJobStopsItAndWaitsForIt)
{
    apptest::FreshHome home;
    Fixtures f;
    CSettingsStorageMemory storage;
    QElapsedTimer t;
    {
        auto dlg = std::make_unique<CPdfRezovirorDlg>(storage);
        dlg->show();
        ASSERT_TRUE(dlg->AddFile(Q(f.big)));
        ASSERT_TRUE(dlg->AddFile(Q(f.big)));
        UseOutputFolder(*dlg, f.out);
        dlg->OnCoolBarCommand(2);
        MessageLog log(*dlg);
        bool started = false;
        log.onStarted = [&](int) { started = true; };
        dlg->OnCoolBarCommand(301);
        QElapsedTimer wait;
        wait.start();
        while (!started && wait.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(started);
        t.start();
        EXPECT_TRUE(dlg->close());
        // The job's records and the window go right after the close; the
        // job thread has ended before.
        dlg.reset();
    }
    // Whatever the job still posted went with the window.
    QCoreApplication::processEvents();
    EXPECT_LT(t.elapsed(), 60000);
    EXPECT_EQ(storage.values["OutputFormat"], QStringLiteral("2"));
}

TEST(ConvertJob, ResultPathsLongerThan259CharactersStayWhole)
{
    apptest::FreshHome home;
    Fixtures f;
    fs::path deep = f.dir.path();
    for (int i = 0; i < 6; ++i)
        deep /= std::string(60, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const fs::path source = deep / "plain.pdf";
    fs::copy_file(f.plain, source);
    ASSERT_GT(source.string().size(), 259u);

    CSettingsStorageMemory storage;
    CPdfRezovirorDlg dlg(storage);
    ASSERT_TRUE(dlg.AddFile(Q(source)));
    EXPECT_EQ(dlg.Item(0)->source, source.wstring());
    dlg.Settings().CustomOutputFolder = 0;   // beside the source
    dlg.OnCoolBarCommand(2);
    dlg.OnCoolBarCommand(301);
    ASSERT_TRUE(WaitIdle(dlg));
    EXPECT_EQ(Status(dlg, 0), QStringLiteral("Success"));
    const fs::path result(*dlg.Item(0)->result);
    EXPECT_EQ(result.parent_path(), deep);
    EXPECT_TRUE(fs::is_regular_file(result));
}

} // namespace
