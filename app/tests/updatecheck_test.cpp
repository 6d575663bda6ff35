// The update check against an HTTP server on 127.0.0.1: newer, same and
// missing versions, a 404, a closed port, and a slow answer that arrives
// after its dialog has closed.
#include "app/updatecheck.h"

#include "app/controls/langstring.h"
#include "app/tests/apptestutil.h"
#include "app/tests/jobrecorder.h"
#include "app/tests/loopbackserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

using apptest::LoopbackServer;
using apptest::Response;

QString ClosedPortUrl()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return QStringLiteral("http://127.0.0.1:%1/version.ini").arg(ntohs(addr.sin_port));
}

void WaitForChecks()
{
    QElapsedTimer timer;
    timer.start();
    while (UpdateChecksRunning() > 0 && timer.elapsed() < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

struct CheckCase {
    const char* name;
    const char* status; // null: closed port
    const char* body;
    unsigned message;
    int version;
    int build;
};

class UpdateCheck : public testing::TestWithParam<CheckCase> {};

TEST_P(UpdateCheck, ComparesTheVersionNumbers)
{
    const CheckCase& c = GetParam();
    apptest::FreshHome home;
    const OwnVersion own{1, 5, 0};
    UpdateAnswer answer;
    QString url;
    if (c.status) {
        LoopbackServer server(Response(c.status, c.body));
        url = server.Url("/version.ini");
        answer = RunUpdateCheck(own, url);
    } else {
        url = ClosedPortUrl();
        answer = RunUpdateCheck(own, url);
    }
    EXPECT_EQ(answer.message, c.message) << answer.error.toStdString();
    if (c.message != WM_UPDATE_FAILED) {
        EXPECT_EQ(answer.version, c.version);
        EXPECT_EQ(answer.build, c.build);
    } else if (c.status) {
        EXPECT_TRUE(answer.error.contains(url) && answer.error.contains(QStringLiteral("404")))
            << answer.error.toStdString();
    } else {
        EXPECT_FALSE(answer.error.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateCheck,
    testing::Values(
        CheckCase{"newer", "200 OK", "[Gerneral]\nversion=151\nbuild=7\n", WM_UPDATE_AVAILABLE, 151, 7},
        CheckCase{"same", "200 OK", "[Gerneral]\nversion=150\nbuild=3\n", WM_UPDATE_NONE, 150, 3},
        CheckCase{"older", "200 OK", "[Gerneral]\nversion=99\n", WM_UPDATE_NONE, 99, 0},
        CheckCase{"noKeys", "200 OK", "[Other]\nversion=999\n", WM_UPDATE_NONE, 0, 0},
        CheckCase{"notFound", "404 Not Found", "gone", WM_UPDATE_FAILED, 0, 0},
        CheckCase{"closedPort", nullptr, "", WM_UPDATE_FAILED, 0, 0}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(UpdateCheck, NoAddressMeansNoCheck)
{
    const UpdateAnswer answer = RunUpdateCheck(OwnVersion{1, 5, 0}, QString());
    EXPECT_EQ(answer.message, WM_UPDATE_FAILED);
    EXPECT_EQ(answer.error, GetLangString(272));
}

TEST(UpdateCheck, VersionsShowAllThreePlaces)
{
    EXPECT_EQ(VersionText(151), QStringLiteral("1.5.1"));
    EXPECT_EQ(VersionText(210), QStringLiteral("2.1.0"));
    EXPECT_EQ(VersionText(7), QStringLiteral("0.0.7"));
}

// The main window's silent check hears only of an available update; any
// other window hears every answer; nobody registered, nothing is posted.
TEST(UpdateCheck, AnswersReachOnlyTheRegisteredWindow)
{
    apptest::JobRecorder window;
    UpdateAnswer none;
    none.message = WM_UPDATE_NONE;
    UpdateAnswer failed;
    failed.error = QStringLiteral("no route");
    UpdateAnswer available;
    available.message = WM_UPDATE_AVAILABLE;
    available.version = 151;
    available.build = 4;

    EXPECT_FALSE(PostUpdateAnswer(available));
    SetUpdateAnswerWindow(&window);
    EXPECT_FALSE(PostUpdateAnswer(none, &window));
    EXPECT_FALSE(PostUpdateAnswer(failed, &window));
    EXPECT_TRUE(PostUpdateAnswer(available, &window));
    EXPECT_TRUE(PostUpdateAnswer(none));
    ClearUpdateAnswerWindow(&window);
    EXPECT_FALSE(PostUpdateAnswer(available));
    window.Drain();
    ASSERT_EQ(window.posted.size(), 2u);
    EXPECT_EQ(window.posted[0].message, WM_UPDATE_AVAILABLE);
    EXPECT_EQ(window.posted[0].index, 151);
    EXPECT_EQ(window.posted[0].value, 4);
    EXPECT_EQ(window.posted[1].message, WM_UPDATE_NONE);
}

QString AnswerShown(CNewVersionDlg& dialog, const QString& before)
{
    QElapsedTimer timer;
    timer.start();
    while (dialog.MessageText() == before && timer.elapsed() < 30000) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return dialog.MessageText();
}

TEST(NewVersionDialog, ShowsANewerVersionWithItsLink)
{
    apptest::FreshHome home;
    LoopbackServer server(Response("200 OK", "[Gerneral]\nversion=999\nbuild=12\n"));
    CNewVersionDlg dialog(server.Url("/version.ini"), true);
    const QString checking = dialog.MessageText();
    EXPECT_FALSE(dialog.LinkShown());
    const QString text = AnswerShown(dialog, checking);
    EXPECT_TRUE(text.contains(QStringLiteral("Version:9.9.9\nBuild:12"))) << text.toStdString();
    EXPECT_TRUE(dialog.LinkShown());
    WaitForChecks();
}

TEST(NewVersionDialog, ShowsAFailureAsItCame)
{
    apptest::FreshHome home;
    LoopbackServer server(Response("404 Not Found", ""));
    CNewVersionDlg dialog(server.Url("/version.ini"), true);
    const QString text = AnswerShown(dialog, dialog.MessageText());
    EXPECT_TRUE(text.contains(server.Url("/version.ini")) && text.contains(QStringLiteral("HTTP 404"))) << text.toStdString();
    WaitForChecks();
}

// A dialog closed before the answer arrives is not posted to.
TEST(NewVersionDialog, ASlowAnswerAfterTheDialogClosedGoesNowhere)
{
    apptest::FreshHome home;
    LoopbackServer server(Response("200 OK", "[Gerneral]\nversion=999\n"), 700);
    {
        CNewVersionDlg dialog(server.Url("/version.ini"), true);
        EXPECT_EQ(UpdateAnswerWindow(), &dialog);
        dialog.show();
        dialog.close();
    }
    EXPECT_EQ(UpdateAnswerWindow(), nullptr);
    EXPECT_EQ(UpdateChecksRunning(), 1);
    WaitForChecks();
    QCoreApplication::processEvents();
    EXPECT_EQ(UpdateChecksRunning(), 0);
}

} // namespace
