#include "app/updatecheck.h"

#include "app/controls/hyperlink.h"
#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"
#include "app/download.h"
#include "app/folders.h"
#include "app/localize.h"
#include "app/textformat.h"

#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

constexpr int kDialogId = 148;
const char kProductName[] = "RAD Ozizedori";

// The answer window and the lock that keeps a post and an unregistering
// apart: once ClearUpdateAnswerWindow returns, nothing is posted to it.
std::mutex answerLock;
QObject* answerWindow = nullptr;
std::atomic<int> checksRunning{0};

} // namespace

QString VersionText(int number)
{
    if (number < 0)
        number = 0;
    return QStringLiteral("%1.%2.%3").arg(number / 100).arg(number / 10 % 10).arg(number % 10);
}

void SetUpdateAnswerWindow(QObject* window)
{
    std::lock_guard<std::mutex> lock(answerLock);
    answerWindow = window;
}

QObject* UpdateAnswerWindow()
{
    std::lock_guard<std::mutex> lock(answerLock);
    return answerWindow;
}

void ClearUpdateAnswerWindow(QObject* window)
{
    std::lock_guard<std::mutex> lock(answerLock);
    if (answerWindow == window)
        answerWindow = nullptr;
}

UpdateAnswer RunUpdateCheck(const OwnVersion& own, const QString& url)
{
    UpdateAnswer answer;
    if (url.trimmed().isEmpty()) {
        answer.error = GetLangString(272);
        return answer;
    }
    const QString work = GetTempFolder();
    CreateFolderTree(work);
    const QString local = work + QStringLiteral("/version.ini");
    if (!DownloadFile(url, local, answer.error))
        return answer;
    QSettings file(local, QSettings::IniFormat);
    answer.version = file.value(QStringLiteral("Gerneral/version"), 0).toInt();
    answer.build = file.value(QStringLiteral("Gerneral/build"), 0).toInt();
    // Numbers compare as numbers: a file without the keys is version 0,
    // which never asks for an update.
    answer.message = own.Number() >= answer.version ? WM_UPDATE_NONE : WM_UPDATE_AVAILABLE;
    return answer;
}

bool PostUpdateAnswer(const UpdateAnswer& answer, QObject* silentWindow)
{
    std::lock_guard<std::mutex> lock(answerLock);
    if (!answerWindow)
        return false;
    if (silentWindow && answerWindow == silentWindow && answer.message != WM_UPDATE_AVAILABLE)
        return false;
    if (answer.message == WM_UPDATE_FAILED)
        PostWindowMessage(answerWindow, WM_UPDATE_FAILED, reinterpret_cast<quintptr>(new QString(answer.error)), 0);
    else
        PostWindowMessage(answerWindow, answer.message, static_cast<quintptr>(answer.version), answer.build);
    return true;
}

void StartUpdateCheckThread(const OwnVersion& own, const QString& url, QObject* silentWindow)
{
    ++checksRunning;
    std::thread([own, url, silentWindow] {
        PostUpdateAnswer(RunUpdateCheck(own, url), silentWindow);
        --checksRunning;
    }).detach();
}

void WaitForUpdateChecks(int ms)
{
    for (int waited = 0; checksRunning.load() > 0 && waited < ms; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

int UpdateChecksRunning()
{
    return checksRunning.load();
}

CNewVersionDlg::CNewVersionDlg(const QString& versionUrl, bool checkNow, QWidget* parent) : QDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(this);
    SetControlId(message_, 1014);
    message_->setWordWrap(true);
    websiteLabel_ = new QLabel(this);
    SetControlId(websiteLabel_, 1015);
    const QString page = GetProductPageUrl();
    link_ = new CHyperLink(page, page, this);
    SetControlId(link_, 1016);
    link_->SetColours(QColor(100, 0, 0), QColor(0x14, 0x14, 0xFF),
                      QApplication::palette().color(QPalette::Highlight));
    link_->setToolTip(page);
    close_ = new QPushButton(this);
    SetControlId(close_, 1013);
    connect(close_, &QPushButton::clicked, this, [this] { done(1); });
    layout->addWidget(message_);
    layout->addWidget(websiteLabel_);
    layout->addWidget(link_);
    layout->addWidget(close_);

    SetUpdateAnswerWindow(this);
    GetFileVersion(own_.major, own_.minor, own_.third);
    if (checkNow) {
        message_->setText(FormatText(GetLangString(144), {kProductName}));
        ShowLink(false);
        StartUpdateCheckThread(own_, versionUrl);
    } else {
        ShowLink(true);
    }
    setWindowTitle(FormatText(GetLangString(145), {kProductName}));
    LocalizeChildren(this, kDialogId);
    LocalizeDialogTitle(this, kDialogId);
}

CNewVersionDlg::~CNewVersionDlg()
{
    // No answer is posted after this; one already queued is taken now, so
    // that a failure's text is freed.
    ClearUpdateAnswerWindow(this);
    QCoreApplication::sendPostedEvents(this, WindowMessage::EventType());
}

QString CNewVersionDlg::MessageText() const
{
    return message_->text();
}

bool CNewVersionDlg::LinkShown() const
{
    return !link_->isHidden();
}

void CNewVersionDlg::ShowLink(bool show)
{
    websiteLabel_->setVisible(show);
    link_->setVisible(show);
}

bool CNewVersionDlg::event(QEvent* e)
{
    const WindowMessage* m = AsWindowMessage(e);
    if (!m)
        return QDialog::event(e);
    switch (m->message()) {
    case WM_UPDATE_AVAILABLE: {
        QString text = GetLangString(147);
        // Older language files show the number as "%d.%02d"; the version
        // has three places.
        text.replace(QStringLiteral("%d.%02d"), QStringLiteral("%s"));
        message_->setText(FormatText(text, {VersionText(static_cast<int>(m->wParam())),
                                            static_cast<long long>(m->lParam())}));
        ShowLink(true);
        return true;
    }
    case WM_UPDATE_NONE:
        message_->setText(GetLangString(148));
        return true;
    case WM_UPDATE_FAILED: {
        auto* text = reinterpret_cast<QString*>(m->wParam());
        if (text) {
            message_->setText(*text);
            delete text;
        }
        return true;
    }
    default:
        return QDialog::event(e);
    }
}
