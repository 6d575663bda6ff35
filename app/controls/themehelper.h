// Whether the self-drawn controls paint with the desktop's visual style or
// with the classic sunken look. The answer comes from the active widget
// style: every style but the classic "windows" one draws themed controls.
#pragma once

class QStyle;
class QWidget;

class ThemeHelper {
public:
    // True when `widget`'s style (the application's when null) draws themed
    // controls.
    static bool UseVisualStyles(const QWidget* widget = nullptr);
    static bool UseVisualStyles(const QStyle* style);
};
