// A small HTTP server on 127.0.0.1 for the tests of the program's downloads:
// it answers every connection with one fixed response, after an optional
// delay, on a port of its own.
#pragma once

#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace apptest {

class LoopbackServer {
public:
    explicit LoopbackServer(std::string response, int delayMs = 0)
        : response_(std::move(response)), delayMs_(delayMs)
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
    ~LoopbackServer()
    {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path); }
    // The last request received; read it only after its answer has arrived.
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
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
            ::send(c, response_.data(), response_.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }

    std::string response_;
    int delayMs_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::string request_;
    std::thread thread_;
};

// An HTTP/1.1 response with the given status line and body.
inline std::string Response(const char* status, const std::string& body)
{
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace apptest
