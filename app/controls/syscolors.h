// The system colours that the self-drawn controls paint with, taken from a
// widget's palette. Controls read them when they are built and again when
// their palette changes.
#pragma once

#include <QColor>

class QPalette;

struct SysColors {
    QColor btnFace;        // face of buttons and headers
    QColor btnShadow;      // shadow edge of raised and sunken frames
    QColor btnHighlight;   // lit edge of raised and sunken frames
    QColor btnText;        // text on buttons and headers
    QColor darkShadow;     // outer dark edge of sunken frames
    QColor light;          // inner lit edge of sunken frames
    QColor grayText;       // text of disabled items
    QColor highlight;      // background of selected items
    QColor highlightText;  // text of selected items
    QColor window;         // background of lists and edit boxes
    QColor windowText;     // text of lists and edit boxes
    QColor inactiveCaption;

    static SysColors FromPalette(const QPalette& palette);
};
