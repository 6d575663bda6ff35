// What the controls' tests share: the application object (offscreen unless
// QT_QPA_PLATFORM says otherwise), a string table for GetLangString, and
// pixel helpers.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

class QWidget;

namespace controlstest {

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
