// What the controls' tests share: the application object (offscreen unless
// QT_QPA_PLATFORM says otherwise), a string table for GetLangString, and
// pixel helpers.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>

#include <utility>
#include <vector>

class QWidget;

namespace controlstest {

// Records the code and wParam of every window message posted or sent to it.
class MessageReceiver : public QObject {
public:
    std::vector<std::pair<unsigned, quintptr>> messages;

protected:
    bool event(QEvent* event) override;
};

// Installs GetLangString answers of the form "text <id>", or the given
// texts for the ids they name.
void InstallLangStrings();

// The widget's pixels, at one device pixel per widget pixel.
QImage Grab(QWidget* widget);

// Pixels of `rect` in `image` that have exactly `color`.
int CountColor(const QImage& image, const QRect& rect, const QColor& color);

// True when every pixel of `rect` in `image` has exactly `color`.
bool AllColor(const QImage& image, const QRect& rect, const QColor& color);

} // namespace controlstest
