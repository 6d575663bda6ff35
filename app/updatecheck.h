// Asking the update server whether a newer version exists. A worker thread
// fetches the version file (INI, section "Gerneral", keys "version" and
// "build") from the address in the settings into the work folder, compares
// its version number with the program's own, and posts one answer to the
// process-wide answer window, if one is registered at that moment. A window
// that unregisters itself (when it is destroyed) is never posted to after.
#pragma once

#include <QDialog>
#include <QString>

class CHyperLink;
class QLabel;
class QPushButton;

// The answers: wParam the remote version number and lParam its build, or
// for a failure wParam a heap QString* with the reason, which the receiver
// deletes.
constexpr unsigned WM_UPDATE_AVAILABLE = 1141;
constexpr unsigned WM_UPDATE_NONE = 1142;
constexpr unsigned WM_UPDATE_FAILED = 1143;

struct OwnVersion {
    int major = 0;
    int minor = 0;
    int third = 0;
    // major x 100 + minor x 10 + third, the version file's scale.
    int Number() const { return major * 100 + minor * 10 + third; }
};

// A version number of that scale as people read it: 151 is "1.5.1".
QString VersionText(int number);

// The window that hears the answers; null: nobody. Set and cleared on the
// user-interface thread; a check reads it when it posts.
void SetUpdateAnswerWindow(QObject* window);
QObject* UpdateAnswerWindow();
// Clears the answer window only when it is still `window`.
void ClearUpdateAnswerWindow(QObject* window);

struct UpdateAnswer {
    unsigned message = WM_UPDATE_FAILED;
    int version = 0;
    int build = 0;
    QString error;
};

// One check, on the calling thread: fetches `url` and compares. An empty
// address fails with string 272 without any network access.
UpdateAnswer RunUpdateCheck(const OwnVersion& own, const QString& url);

// Posts the answer to the answer window registered at this moment; false,
// with nothing posted, when none is. When that window is `silentWindow`
// (the main window's check at start-up) only an available update is posted.
bool PostUpdateAnswer(const UpdateAnswer& answer, QObject* silentWindow = nullptr);

// Starts a check on a thread of its own with copies of its arguments; the
// answer is posted when it arrives. Returns at once.
void StartUpdateCheckThread(const OwnVersion& own, const QString& url, QObject* silentWindow = nullptr);

// Waits up to `ms` milliseconds for the started checks to end.
void WaitForUpdateChecks(int ms);

// How many started checks have not finished yet (tests wait on it).
int UpdateChecksRunning();

// The new-version dialog: checks at once when asked to, and shows the
// answer with a link to the product page.
class CNewVersionDlg : public QDialog {
    Q_OBJECT
public:
    CNewVersionDlg(const QString& versionUrl, bool checkNow, QWidget* parent = nullptr);
    ~CNewVersionDlg() override;

    QString MessageText() const;
    bool LinkShown() const;

protected:
    bool event(QEvent* event) override;

private:
    void ShowLink(bool show);

    OwnVersion own_;
    QLabel* message_;
    QLabel* websiteLabel_;
    CHyperLink* link_;
    QPushButton* close_;
};
