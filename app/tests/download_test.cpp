// Fetching files from a small HTTP server on 127.0.0.1.
#include "app/download.h"

#include "app/tests/apptestutil.h"
#include "app/tests/loopbackserver.h"

#include <gtest/gtest.h>

namespace {

using apptest::Q;
using apptest::LoopbackServer;
using apptest::Response;

TEST(DownloadFile, StoresTheBodyAndTellsTheStatus)
{
    testutil::TempDir dir;
    const auto local = dir.path() / "new" / "folder" / "version.ini";
    {
        LoopbackServer server(Response("200 OK", "[Gerneral]\nversion=151\nbuild=7\n"));
        QString error = QStringLiteral("untouched");
        EXPECT_TRUE(DownloadFile(server.Url("/version.ini"), Q(local), error));
        EXPECT_EQ(testutil::ReadFile(local), "[Gerneral]\nversion=151\nbuild=7\n");
        EXPECT_NE(server.request().find("GET /version.ini "), std::string::npos);
        EXPECT_NE(server.request().find("no-cache"), std::string::npos);
    }
    {
        LoopbackServer server(Response("404 Not Found", "<html>gone</html>"));
        QString error;
        const QString url = server.Url("/version.ini");
        EXPECT_FALSE(DownloadFile(url, Q(local), error));
        EXPECT_EQ(error, QStringLiteral("Download remote file %1 failed, error code: HTTP 404!").arg(url));
        EXPECT_EQ(testutil::ReadFile(local), "<html>gone</html>"); // the body stays, the old content is gone
    }
}

TEST(DownloadFile, FailuresOfTheConnectionOrTheFile)
{
    testutil::TempDir dir;
    int closedPort = 0;
    {
        LoopbackServer server(Response("200 OK", "x"));
        closedPort = server.Url("").section(u':', 2).toInt();
    }
    QString error;
    EXPECT_FALSE(DownloadFile(QStringLiteral("http://127.0.0.1:%1/v.ini").arg(closedPort),
                              Q(dir.path() / "v.ini"), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_LE(error.size(), 254);

    error.clear();
    testutil::WriteFile(dir.path() / "secret", "local file");
    EXPECT_FALSE(DownloadFile(QStringLiteral("file://") + Q(dir.path() / "secret"), Q(dir.path() / "copy"), error));
    EXPECT_FALSE(error.isEmpty());

    LoopbackServer server(Response("200 OK", "x"));
    testutil::WriteFile(dir.path() / "plainfile", "x");
    error.clear();
    EXPECT_FALSE(DownloadFile(server.Url("/v.ini"), Q(dir.path() / "plainfile" / "v.ini"), error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
