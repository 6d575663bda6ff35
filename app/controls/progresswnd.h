// A small window with one line of text and a Cancel button, shown while the
// owner works through a long loop on the user-interface thread. Between
// steps the owner updates the text and calls PeekAndPump, which keeps the
// program responsive and notices Cancel and Escape. In modal mode the
// window disables its owner until it is destroyed.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressWnd : public QWidget {
    Q_OBJECT
public:
    CProgressWnd();
    ~CProgressWnd() override;

    // Builds and shows the window over `owner` (the active window when
    // null), centred on it, without taking the focus. False when it cannot
    // be built.
    bool Create(QWidget* owner, const QString& caption = QStringLiteral("Progress"));
    // Creates the window when needed, disables the owner's topmost enabled
    // window and takes the focus; 0 when the window cannot be created, else 1.
    int GoModal(const QString& caption = QStringLiteral("Progress"));
    // The bar's range 0-1000, step 1.
    void SetRange();
    // Shows `text` in full; nothing before Create.
    void SetText(const QString& text);
    QString GetText() const;
    // Handles what is waiting in the event queue and returns when it is
    // empty or the window was cancelled. Escape anywhere, or a release over
    // Cancel while modal, cancels.
    void PeekAndPump();
    bool Cancelled() const { return cancelled_; }
    bool IsModal() const { return modal_; }
    // Re-enables the owner when modal and closes the window.
    void DestroyWindow();

    QPushButton* CancelButton() const { return cancel_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnCancel();
    void Layout();
    void ReleaseOwner();

    QPointer<QWidget> owner_;
    QPointer<QWidget> disabledOwner_;
    bool created_ = false;
    bool cancelled_ = false;
    bool modal_ = false;
    bool quitSeen_ = false;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
