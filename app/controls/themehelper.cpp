#include "app/controls/themehelper.h"

#include <QApplication>
#include <QStyle>
#include <QWidget>

bool ThemeHelper::UseVisualStyles(const QWidget* widget)
{
    return UseVisualStyles(widget ? widget->style() : QApplication::style());
}

bool ThemeHelper::UseVisualStyles(const QStyle* style)
{
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}
