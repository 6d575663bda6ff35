#include "app/controls/hyperlink.h"

#include "app/controls/bitmaps.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QUrl>

#include <utility>

namespace {

constexpr int kOpened = 33;
constexpr int kFileNotFound = 2;
constexpr int kNoAssociation = 31;

} // namespace

QString HyperlinkErrorText(int code)
{
    switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
        return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                              "transactions\nwere being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
}

int OpenWithDesktop(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid())
        return kNoAssociation;
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return kFileNotFound;
    return QDesktopServices::openUrl(url) ? kOpened : kNoAssociation;
}

CHyperLink::CHyperLink(const QString& text, const QString& address, QWidget* parent)
    : QLabel(text, parent),
      linkColour_(ColorFromRef(0x1CEEE6)),
      visitedColour_(ColorFromRef(0x00FF00)),
      hoverColour_(ColorFromRef(0x1ECE05)),
      address_(address),
      opener_(OpenWithDesktop)
{
    if (address_.isEmpty())
        address_ = this->text();
    if (this->text().isEmpty())
        setText(address_);
    QFont linkFont = font();
    linkFont.setUnderline(underline_);
    setFont(linkFont);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PositionWindow();
    setCursor(Qt::PointingHandCursor);
    setToolTip(address_);
    ApplyColour();
}

void CHyperLink::SetURL(const QString& address)
{
    address_ = address;
    setToolTip(address_);
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited, const QColor& hover)
{
    linkColour_ = link;
    visitedColour_ = visited;
    hoverColour_ = hover;
    ApplyColour();
}

void CHyperLink::SetOpener(Opener opener)
{
    opener_ = std::move(opener);
}

void CHyperLink::PositionWindow()
{
    if (!fitToText_)
        return;
    const QRect old = geometry();
    const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
    QRect fitted(old.topLeft(), text);
    const Qt::Alignment a = alignment();
    if (a & Qt::AlignVCenter)
        fitted.moveTop(old.top() + (old.height() - text.height()) / 2);
    if (a & Qt::AlignHCenter)
        fitted.moveLeft(old.left() + (old.width() - text.width()) / 2);
    else if (a & Qt::AlignRight)
        fitted.moveRight(old.right());
    setGeometry(fitted);
}

void CHyperLink::ApplyColour()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText,
               over_ ? hoverColour_ : visited_ ? visitedColour_ : linkColour_);
    setPalette(p);
}

int CHyperLink::FollowLink()
{
    const int result = opener_ ? opener_(address_) : kNoAssociation;
    if (result > 32) {
        visited_ = true;
        ApplyColour();
        return result;
    }
    QApplication::beep();
    QMessageBox::warning(this, QStringLiteral("Error"),
                         QStringLiteral("Unable to open hyperlink:\n\n") + HyperlinkErrorText(result));
    return result;
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        FollowLink();
}

void CHyperLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    over_ = true;
    ApplyColour();
}

void CHyperLink::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    over_ = false;
    ApplyColour();
}
