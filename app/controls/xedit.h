// The in-cell edit box of the file list. It opens with its text selected
// and tells its list once, and only once, how it ended: kept (Return or loss
// of focus) or cancelled (Escape).
#pragma once

#include "app/controls/syscolors.h"

#include <QLineEdit>
#include <QPointer>

class CXEdit : public QLineEdit {
    Q_OBJECT
public:
    // `list` receives the edit's end; the box becomes its child only when
    // the caller parents it.
    CXEdit(QWidget* list, const QString& text, QWidget* parent = nullptr);

    // Shows the text, selects all of it and takes the focus.
    void Start();

signals:
    // The edit ended and its text is to be kept.
    void WM_XEDIT_KILL_FOCUS();
    // The edit was cancelled.
    void WM_XEDIT_VK_ESCAPE();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum class End { Keep, Cancel };
    // Tells the list how the edit ended, the first time only.
    void SendToList(End end);

    QPointer<QWidget> list_;
    QString text_;
    bool notified_ = false;
    SysColors colors_;
};
