#include "app/download.h"

#include "app/controls/langstring.h"
#include "app/folders.h"
#include "app/textformat.h"

#include <QFile>

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

constexpr qsizetype kMaxErrorChars = 254;

struct Sink {
    std::FILE* file = nullptr;
    bool failed = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    const size_t bytes = size * count;
    if (std::fwrite(data, 1, bytes, sink->file) != bytes) {
        sink->failed = true;
        return 0; // ends the transfer
    }
    return bytes;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool Fail(QString& error, const QString& message)
{
    error = message.left(kMaxErrorChars);
    return false;
}

} // namespace

bool DownloadFile(const QString& url, const QString& localPath, QString& error)
{
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return Fail(error, QStringLiteral("the network library could not start"));

    CreateFolderTree(GetPathFolder(localPath));
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(QFile::encodeName(localPath).constData(), "wb"));
    if (!file)
        return Fail(error, localPath + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));

    const QByteArray address = url.toUtf8();
    Sink sink{file.get(), false};
    char curlError[CURL_ERROR_SIZE] = {};
    std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    headers.reset(curl_slist_append(headers.release(), "Pragma: no-cache"));

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    // Gives up on a server that stops sending for a minute.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);

    const CURLcode rc = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    const bool closed = std::fclose(file.release()) == 0;

    if (sink.failed || (rc == CURLE_OK && !closed))
        return Fail(error, localPath + QStringLiteral(": the file could not be written"));
    if (rc != CURLE_OK)
        return Fail(error, QString::fromUtf8(*curlError ? curlError : curl_easy_strerror(rc)));
    if (status != 200) {
        error = FormatText(GetLangString(149), {url, status});
        return false;
    }
    return true;
}
