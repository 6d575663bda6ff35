// A text label that works as a link: underlined, in its link colour, in the
// hover colour while the mouse is over it and in the visited colour once
// followed; a hand cursor and a tooltip with the address. A click opens the
// address with the desktop's handler; a failure is reported in a message
// box.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    // Opens an address; answers a result code: above 32 success, else one
    // of the error codes of HyperlinkErrorText.
    using Opener = std::function<int(const QString& address)>;

    // A link showing `text` that opens `address`. An empty address takes the
    // text, an empty text shows the address. The label is fitted to its text.
    CHyperLink(const QString& text, const QString& address, QWidget* parent = nullptr);

    void SetURL(const QString& address);
    QString GetURL() const { return address_; }
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
    // Resizes the label to its text within its parent: vertically centred
    // when aligned to the vertical centre, else keeping its top; horizontally
    // centred, kept at its right edge or at its left edge as aligned. The
    // owner calls it again after changing the text.
    void PositionWindow();
    bool IsVisited() const { return visited_; }
    bool IsOver() const { return over_; }

    // Opens the address; on success the link becomes visited, on failure a
    // beep and a message box. Returns the result code.
    int FollowLink();

    // Replaces how addresses are opened (the desktop's handler by default).
    void SetOpener(Opener opener);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ApplyColour();

    QColor linkColour_;
    QColor visitedColour_;
    QColor hoverColour_;
    bool over_ = false;
    bool visited_ = false;
    bool underline_ = true;
    bool fitToText_ = true;
    QString address_;
    Opener opener_;
};

// The message for an open that failed with `code`, as the link reports it
// after "Unable to open hyperlink:\n\n".
QString HyperlinkErrorText(int code);

// Opens an address with the desktop's handler: 33 on success, 2 for a local
// file that does not exist, 31 when no handler could open it.
int OpenWithDesktop(const QString& address);
