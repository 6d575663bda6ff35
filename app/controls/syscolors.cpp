#include "app/controls/syscolors.h"

#include <QPalette>

SysColors SysColors::FromPalette(const QPalette& palette)
{
    SysColors c;
    c.btnFace = palette.color(QPalette::Active, QPalette::Button);
    c.btnShadow = palette.color(QPalette::Active, QPalette::Dark);
    c.btnHighlight = palette.color(QPalette::Active, QPalette::Light);
    c.btnText = palette.color(QPalette::Active, QPalette::ButtonText);
    c.darkShadow = palette.color(QPalette::Active, QPalette::Shadow);
    c.light = palette.color(QPalette::Active, QPalette::Midlight);
    c.grayText = palette.color(QPalette::Disabled, QPalette::Text);
    c.highlight = palette.color(QPalette::Active, QPalette::Highlight);
    c.highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);
    c.window = palette.color(QPalette::Active, QPalette::Base);
    c.windowText = palette.color(QPalette::Active, QPalette::Text);
    c.inactiveCaption = palette.color(QPalette::Inactive, QPalette::Mid);
    return c;
}
