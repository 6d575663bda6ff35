#include "app/controls/progresswnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

namespace {

constexpr int kTextLines = 3;
constexpr int kTextWidth = 480;
// The edge sizes of the classic three-dimensional frame.
constexpr int kEdge = 2;

} // namespace

CProgressWnd::CProgressWnd()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::BusyCursor);
}

CProgressWnd::~CProgressWnd()
{
    ReleaseOwner();
}

bool CProgressWnd::Create(QWidget* owner, const QString& caption)
{
    if (created_)
        return true;
    owner_ = owner ? owner->window() : QApplication::activeWindow();
    setWindowTitle(caption);
    setFont(QApplication::font("QMessageBox"));
    resize(390, 130);

    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(false);
    bar_ = new QProgressBar(this);
    bar_->hide();   // laid out without room: the bar never shows
    cancel_ = new QPushButton(QStringLiteral(" Cancel "), this);
    cancel_->setFocusPolicy(Qt::StrongFocus);
    connect(cancel_, &QPushButton::clicked, this, &CProgressWnd::OnCancel);
    created_ = true;
    Layout();

    // The window is not a child of its owner, so that disabling the owner
    // leaves it usable; the window system still keeps it above the owner.
    winId();
    if (owner_ && owner_->windowHandle() && windowHandle())
        windowHandle()->setTransientParent(owner_->windowHandle());
    if (owner_)
        move(owner_->geometry().center() - rect().center());
    if (!isVisible())
        show();
    return true;
}

void CProgressWnd::Layout()
{
    const QFontMetrics metrics(font());
    const int textHeight = metrics.height() * kTextLines;
    text_->setGeometry(10, 10, kTextWidth, textHeight);

    const QString label = cancel_->text() + QStringLiteral("  ");
    const int buttonWidth = metrics.horizontalAdvance(label) + 4 * kEdge;
    const int buttonHeight = metrics.height() + 3 * kEdge;
    const int textRight = 10 + kTextWidth;
    cancel_->setGeometry(textRight - buttonWidth, 10 + textHeight + 10, buttonWidth, buttonHeight);
    bar_->setGeometry(QRect());
    setFixedSize(kTextWidth + 20, textHeight + buttonHeight + 30);
}

int CProgressWnd::GoModal(const QString& caption)
{
    if (!created_ && !Create(nullptr, caption))
        return 0;
    // Disable the topmost enabled window above the owner.
    QWidget* top = owner_;
    while (top && top->parentWidget() && top->parentWidget()->isEnabled())
        top = top->parentWidget();
    if (top && top->isEnabled()) {
        top->setEnabled(false);
        disabledOwner_ = top;
    }
    setEnabled(true);
    modal_ = true;
    if (!hasFocus()) {
        activateWindow();
        cancel_->setFocus();
    }
    return 1;
}

void CProgressWnd::SetRange()
{
    if (bar_) {
        bar_->setRange(0, 1000);
        bar_->setValue(0);
    }
}

void CProgressWnd::SetText(const QString& text)
{
    if (created_)
        text_->setText(text);
}

QString CProgressWnd::GetText() const
{
    return created_ ? text_->text() : QString();
}

void CProgressWnd::PeekAndPump()
{
    if (cancelled_)
        return;
    quitSeen_ = false;
    qApp->installEventFilter(this);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
}

bool CProgressWnd::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !cancelled_)
            OnCancel();
        break;
    case QEvent::MouseButtonRelease:
        if (modal_ && !cancelled_ && cancel_) {
            const QPointF global = static_cast<QMouseEvent*>(event)->globalPosition();
            const QRect button(cancel_->mapToGlobal(QPoint(0, 0)), cancel_->size());
            if (button.contains(global.toPoint()))
                OnCancel();
        }
        break;
    case QEvent::Quit:
        // The application ends its main loop itself; the pump only stops.
        quitSeen_ = true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CProgressWnd::OnCancel()
{
    cancelled_ = true;
    if (isVisible())
        hide();
    if (modal_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    if (owner_)
        owner_->activateWindow();
}

void CProgressWnd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (!cancelled_)
            OnCancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CProgressWnd::closeEvent(QCloseEvent* event)
{
    // Closing the window is cancelling it.
    cancelled_ = true;
    event->accept();
}

void CProgressWnd::ReleaseOwner()
{
    if (!modal_)
        return;
    modal_ = false;
    if (disabledOwner_)
        disabledOwner_->setEnabled(true);
    disabledOwner_ = nullptr;
}

void CProgressWnd::DestroyWindow()
{
    ReleaseOwner();
    hide();
}
