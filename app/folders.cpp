#include "app/folders.h"

#include "app/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include <climits>
#include <unistd.h>

namespace {

// The maker's web site; pages below it are named by the callers.
const QString kProductSite = QStringLiteral("https://www.brontix.example/");

qsizetype LastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
}

QPointer<QWidget>& MainWindowSlot()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

QString GetAppFolder()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return QStringLiteral(".");
    QString folder;
    if (!GetFolderFromPath(folder, QString::fromUtf8(buf, n)))
        return QStringLiteral(".");
    return folder.isEmpty() ? QStringLiteral("/") : folder;
}

QString GetToolFolder()
{
    return GetAppFolder() + QStringLiteral("/temple/bin");
}

QString GetTempFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return data + QStringLiteral("/BrontixPdfTools/tmp");
}

QString GetMyDocumentsFolder()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    CreateFolderTree(docs);
    return docs;
}

void CreateFolderTree(const QString& path)
{
    if (!path.isEmpty())
        QDir().mkpath(path);
}

bool GetFileNameFromPath(QString& name, const QString& path)
{
    const qsizetype sep = LastSeparator(path);
    if (sep < 0)
        return false;
    name = path.mid(sep + 1);
    return true;
}

bool GetFolderFromPath(QString& folder, const QString& path)
{
    const qsizetype sep = LastSeparator(path);
    if (sep < 0)
        return false;
    folder = path.left(sep);
    return true;
}

QString GetBaseName(const QString& path)
{
    QString name = path;
    GetFileNameFromPath(name, path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

QString GetPathFolder(const QString& path)
{
    return path.left(LastSeparator(path) + 1);
}

int GetFileVersion(int& major, int& minor, int& third)
{
    major = FOLVANE_VERSION_MAJOR;
    minor = FOLVANE_VERSION_MINOR;
    third = FOLVANE_VERSION_PATCH;
    return 0;
}

QString GetProductPageUrl()
{
    const QString code = GetCurrentLanguage();
    if (code == u"jp" || code == u"de" || code == u"fr")
        return kProductSite + code + QStringLiteral("/pdf-converter-free.html");
    return kProductSite + QStringLiteral("pdf-converter-free.html");
}

QString GetTutorialPageUrl()
{
    const QString code = GetCurrentLanguage();
    if (code == u"jp" || code == u"de" || code == u"fr")
        return kProductSite + code + QStringLiteral("/tutorial.html");
    return kProductSite + QStringLiteral("tutorial.html");
}

QString GetDownloadPageUrl()
{
    return kProductSite + QStringLiteral("download.html");
}

QWidget* GetMainWindow()
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    return MainWindowSlot().data();
}

void SetMainWindow(QWidget* window)
{
    MainWindowSlot() = window;
}
