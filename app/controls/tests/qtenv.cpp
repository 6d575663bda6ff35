#include "app/controls/tests/qtenv.h"

#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace controlstest {

bool MessageReceiver::event(QEvent* event)
{
    if (const WindowMessage* m = AsWindowMessage(event)) {
        messages.emplace_back(m->message(), m->wParam());
        return true;
    }
    return QObject::event(event);
}

void InstallLangStrings()
{
    SetLangStringLookup([](int id) { return QStringLiteral("text %1").arg(id); });
}

QImage Grab(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountColor(const QImage& image, const QRect& rect, const QColor& color)
{
    const QRgb want = color.rgb();
    int count = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF) ? 1 : 0;
    return count;
}

bool AllColor(const QImage& image, const QRect& rect, const QColor& color)
{
    return !rect.isEmpty() && image.rect().contains(rect)
        && CountColor(image, rect, color) == rect.width() * rect.height();
}

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new QApplication(argc_, argv_);
        // Fixed pixels: no scaling, one style for every machine.
        QApplication::setStyle(QStringLiteral("Fusion"));
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    int argc_ = 1;
    char name_[16] = "controls-test";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

} // namespace controlstest
