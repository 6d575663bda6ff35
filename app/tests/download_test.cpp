// Fetching files from a small HTTP server on 127.0.0.1.
#include "app/download.h"

#include "app/tests/apptestutil.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using apptest::Q;

// Answers every connection with one fixed response, on a port of its own.
class OneAnswerServer {
public:
    explicit OneAnswerServer(std::string response) : response_(std::move(response))
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            std::abort();
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneAnswerServer()
    {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path); }
    std::string request() const { return request_; }

private:
    void Serve()
    {
        while (!stop_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0)
                return;
            char buf[4096];
            const ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n > 0)
                request_.assign(buf, static_cast<std::size_t>(n));
            ::send(c, response_.data(), response_.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }

    std::string response_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::string request_;
    std::thread thread_;
};

std::string Response(const char* status, const std::string& body)
{
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

TEST(DownloadFile, StoresTheBodyAndTellsTheStatus)
{
    testutil::TempDir dir;
    const auto local = dir.path() / "new" / "folder" / "version.ini";
    {
        OneAnswerServer server(Response("200 OK", "[Gerneral]\nversion=151\nbuild=7\n"));
        QString error = QStringLiteral("untouched");
        EXPECT_TRUE(DownloadFile(server.Url("/version.ini"), Q(local), error));
        EXPECT_EQ(testutil::ReadFile(local), "[Gerneral]\nversion=151\nbuild=7\n");
        EXPECT_NE(server.request().find("GET /version.ini "), std::string::npos);
        EXPECT_NE(server.request().find("no-cache"), std::string::npos);
    }
    {
        OneAnswerServer server(Response("404 Not Found", "<html>gone</html>"));
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
        OneAnswerServer server(Response("200 OK", "x"));
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

    OneAnswerServer server(Response("200 OK", "x"));
    testutil::WriteFile(dir.path() / "plainfile", "x");
    error.clear();
    EXPECT_FALSE(DownloadFile(server.Url("/v.ini"), Q(dir.path() / "plainfile" / "v.ini"), error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
