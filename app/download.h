// Fetching one file over HTTP(S) into a local file.
#pragma once

#include <QString>

// Fetches `url` (http or https only, redirects followed, no cached copy) into
// `localPath`, creating its folder and replacing what the file held; the body
// the server sent stays in the file whatever the status. True when the server
// answered with status 200. Otherwise false with `error` set: for another
// status string 149 ("Download remote file %s failed, error code: HTTP %d!")
// with the address and the status, for a failure of the connection or of the
// file the failure's own message (at most 254 characters). Never throws.
bool DownloadFile(const QString& url, const QString& localPath, QString& error);
