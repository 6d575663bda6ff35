// The button bar and the tool bar: their pictures state by state, the
// stretched wide bar, and the commands a click posts.
#include "app/controls/tests/qtenv.h"

#include "app/controls/bartables.h"
#include "app/controls/bitmaps.h"
#include "app/controls/coolbuttonbar.h"
#include "app/controls/cooltoolbar.h"
#include "app/controls/langstring.h"
#include "app/controls/windowmessage.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using controlstest::Grab;

namespace {

using Receiver = controlstest::MessageReceiver;

const COOLBARBUTTON* const kFormatButtons = kOutputFormatBar.buttons.data();

bool SameRegion(const QImage& a, const QRect& ra, const QImage& b, const QRect& rb)
{
    return a.copy(ra).convertToFormat(QImage::Format_RGB32)
        == b.copy(rb).convertToFormat(QImage::Format_RGB32);
}

QImage Sprite(int id)
{
    return LoadBitmapResource(id).toImage().convertToFormat(QImage::Format_RGB32);
}

class ButtonBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controlstest::InstallLangStrings();
        window = std::make_unique<QWidget>();
        window->resize(1100, 120);
        bar = new CCoolButtonBar(window.get());
        bar->SetButtons(kOutputFormatBar.states, kOutputFormatBar.buttons, kOutputFormatBar.bitmapId);
        bar->SetTarget(&receiver, WM_COOLBAR_COMMAND);
        bar->setGeometry(0, 0, 880, 75);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // Where the sprite's state image for `state` (0 normal .. 3 disabled)
    // holds button `b`.
    static QRect SpriteRect(int state, const COOLBARBUTTON& b)
    {
        const int y[] = {0, 79, 160, 240};
        return QRect(b.x, y[state] + b.y, b.width, b.height);
    }

    void ExpectButtonShows(const QImage& shot, int index, int state)
    {
        const COOLBARBUTTON& b = kFormatButtons[index];
        EXPECT_TRUE(SameRegion(shot, QRect(b.x, b.y, b.width, b.height), sprite, SpriteRect(state, b)))
            << "button " << index << " state " << state;
    }

    void Post() { QApplication::sendPostedEvents(&receiver); }

    QImage sprite = Sprite(143);
    Receiver receiver;
    std::unique_ptr<QWidget> window;
    CCoolButtonBar* bar = nullptr;
};

TEST_F(ButtonBarTest, EachButtonShowsTheSpriteOfItsState)
{
    ASSERT_FALSE(sprite.isNull());
    QImage shot = Grab(bar);
    EXPECT_TRUE(SameRegion(shot, QRect(0, 0, 880, 75), sprite, QRect(0, 0, 880, 75)));

    QTest::mouseMove(bar, QPoint(128 + 60, 30));
    shot = Grab(bar);
    ExpectButtonShows(shot, 1, 1);
    ExpectButtonShows(shot, 0, 0);
    ExpectButtonShows(shot, 2, 0);

    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(253 + 60, 30));
    shot = Grab(bar);
    ExpectButtonShows(shot, 2, 2);
    ExpectButtonShows(shot, 1, 0);   // a press replaces the hover
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(253 + 60, 30));

    bar->DisableButton(4);
    QTest::mouseMove(bar, QPoint(378 + 60, 30));
    shot = Grab(bar);
    ExpectButtonShows(shot, 3, 3);
    EXPECT_TRUE(SameRegion(shot, QRect(0, 0, 378, 74), sprite, QRect(0, 0, 378, 74)))
        << "a disabled button does not hover";
    bar->EnableAllButtons();
    bar->repaint();
    ExpectButtonShows(Grab(bar), 3, 0);
}

TEST_F(ButtonBarTest, AWideBarRepeatsItsMiddleColumn)
{
    const int w = sprite.width();
    bar->resize(1000, 75);
    const QImage shot = Grab(bar);
    const int right = bar->width();
    EXPECT_TRUE(SameRegion(shot, QRect(0, 0, w - 6, 75), sprite, QRect(0, 0, w - 6, 75)));
    for (int x = w - 6; x <= right - 7; ++x)
        ASSERT_TRUE(SameRegion(shot, QRect(x, 0, 1, 75), sprite, QRect(w - 6, 0, 1, 75))) << x;
    EXPECT_TRUE(SameRegion(shot, QRect(right - 6, 0, 6, 75), sprite, QRect(w - 10, 0, 6, 75)));
}

TEST_F(ButtonBarTest, AClickPostsTheCodeOfTheEnabledButtonUnderTheRelease)
{
    const auto click = [&](QPoint press, QPoint release) {
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, press);
        QTest::mouseMove(bar, release);
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, release);
        Post();
    };
    const QPoint first(60, 30), second(128 + 60, 30), fifth(503 + 60, 30);

    click(first, second);
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].first, WM_COOLBAR_COMMAND);
    EXPECT_EQ(receiver.messages[0].second, 2u);

    bar->DisableButton(5);
    receiver.messages.clear();
    click(first, fifth);
    EXPECT_TRUE(receiver.messages.empty()) << "released over a disabled button";
    click(fifth, second);
    ASSERT_EQ(receiver.messages.size(), 1u) << "pressed on a disabled button";
    EXPECT_EQ(receiver.messages[0].second, 2u);
    receiver.messages.clear();
    click(first, QPoint(870, 74));   // below the buttons, inside the bar
    EXPECT_TRUE(receiver.messages.empty());

    bar->SetTarget(nullptr, WM_COOLBAR_COMMAND);
    click(first, first);
    EXPECT_TRUE(receiver.messages.empty()) << "no target, no command";
}

TEST_F(ButtonBarTest, TooltipsComeFromTheStringTable)
{
    const auto tipAt = [&](QPoint pos) {
        QHelpEvent help(QEvent::ToolTip, pos, bar->mapToGlobal(pos));
        QApplication::sendEvent(bar, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_TRUE(tipAt(QPoint(60, 30)).isEmpty()) << "no tooltips before InitToolTips";
    bar->InitToolTips();
    EXPECT_EQ(tipAt(QPoint(60, 30)), QStringLiteral("text 137"));
    EXPECT_EQ(tipAt(QPoint(753 + 10, 30)), QStringLiteral("text 178"));
}

TEST(ButtonBarLabels, LabelsAreDrawnOverTheSprite)
{
    controlstest::InstallLangStrings();
    // The panel switch with the second label left out.
    std::vector<COOLBARBUTTON> buttons(kPanelSwitchBar.buttons.begin(), kPanelSwitchBar.buttons.end());
    buttons[1].labelId = 0;
    CCoolButtonBar bar;
    bar.SetButtons(kPanelSwitchBar.states, buttons, kPanelSwitchBar.bitmapId);
    bar.resize(192, 19);
    const QImage shot = Grab(&bar);
    const QImage sprite = Sprite(1063);
    EXPECT_FALSE(SameRegion(shot, QRect(0, 0, 96, 19), sprite, QRect(0, 0, 96, 19)));
    EXPECT_TRUE(SameRegion(shot, QRect(96, 0, 96, 19), sprite, QRect(96, 0, 96, 19)));
    EXPECT_GT(controlstest::CountColor(shot, QRect(5, 2, 80, 16), Qt::black), 5);
}

// --- the tool bar ------------------------------------------------------------------

class ToolBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controlstest::InstallLangStrings();
        window = std::make_unique<QWidget>();
        window->resize(600, 80);
        bar = new CCoolToolBar(window.get());
        bar->SetTarget(&receiver, WM_COOLBAR_COMMAND);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void Place()
    {
        bar->setGeometry(0, 0, bar->GetTotalWidth(), bar->sizeHint().height());
        bar->repaint();
    }

    Receiver receiver;
    std::unique_ptr<QWidget> window;
    CCoolToolBar* bar = nullptr;
};

TEST_F(ToolBarTest, PictureButtonsShowTheirStateImages)
{
    // Up (disabled image = normal), down, options: the small buttons without
    // text.
    std::vector<COOLTOOLBUTTON> defs(kListToolButtons + 1, kListToolButtons + 4);
    for (COOLTOOLBUTTON& def : defs)
        def.textId = 0;
    defs[0].state = 1;
    ASSERT_EQ(bar->SetButtons(defs), 1);
    Place();
    EXPECT_EQ(bar->GetTotalWidth(), 60);
    const QImage up = Sprite(176), down = Sprite(174), options = Sprite(144);
    QImage shot = Grab(bar);
    EXPECT_TRUE(SameRegion(shot, QRect(0, 0, 20, 19), up, QRect(0, 0, 20, 19)));
    EXPECT_TRUE(SameRegion(shot, QRect(20, 0, 20, 19), down, QRect(0, 19, 20, 19)))
        << "disabled image";
    EXPECT_TRUE(SameRegion(shot, QRect(40, 0, 20, 19), options, QRect(0, 0, 20, 19)));

    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(50, 9));
    shot = Grab(bar);
    EXPECT_TRUE(SameRegion(shot, QRect(40, 0, 20, 19), options, QRect(0, 19, 20, 19)))
        << "pressed image";
    QTest::mouseMove(bar, QPoint(10, 9));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 9));
    QApplication::sendPostedEvents(&receiver);
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].second, 501u) << "the button under the release";

    receiver.messages.clear();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 9));
    QTest::mouseMove(bar, QPoint(30, 9));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(30, 9));
    QApplication::sendPostedEvents(&receiver);
    EXPECT_TRUE(receiver.messages.empty()) << "released over the disabled button";

    EXPECT_EQ(bar->IsConvertEnabled(), 0);
    bar->EnableButton(502);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(30, 9));
    QApplication::sendPostedEvents(&receiver);
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0].second, 502u);
}

TEST_F(ToolBarTest, TextWidensTheButtonBetweenItsCaps)
{
    COOLTOOLBUTTON gap{};
    gap.code = -2;
    gap.gap = 7;
    const std::vector<COOLTOOLBUTTON> defs = {kAddFilesButton, gap, kConvertButton};
    bar->SetButtons(defs);
    Place();
    const QRect add = bar->ButtonRect(201);
    const QRect convert = bar->ButtonRect(301);
    ASSERT_GT(add.width(), 72) << "the text widens the button";
    EXPECT_EQ(convert.left(), add.right() + 1 + 7) << "the gap";
    EXPECT_EQ(bar->GetTotalWidth(), add.width() + 7 + convert.width());

    const QImage shot = Grab(bar);
    const QImage sprite = Sprite(138);
    EXPECT_TRUE(SameRegion(shot, QRect(0, 0, 50, 34), sprite, QRect(0, 0, 50, 34))) << "left cap";
    EXPECT_TRUE(SameRegion(shot, QRect(add.right() + 1 - 10, 0, 10, 34), sprite,
                           QRect(62, 0, 10, 34)))
        << "right cap";

    EXPECT_EQ(bar->IsConvertEnabled(), 0);
    bar->EnableButton(301);
    EXPECT_EQ(bar->IsConvertEnabled(), 1);
}

TEST_F(ToolBarTest, ALanguageChangeRenewsTooltipsButNotTexts)
{
    const std::vector<COOLTOOLBUTTON> defs = {kAddFilesButton};
    bar->SetButtons(defs);
    Place();
    const auto tip = [&] {
        const QPoint pos(20, 17);
        QHelpEvent help(QEvent::ToolTip, pos, bar->mapToGlobal(pos));
        QApplication::sendEvent(bar, &help);
        return QToolTip::text();
    };
    EXPECT_EQ(tip(), QStringLiteral("text 256"));
    const int width = bar->GetTotalWidth();

    SetLangStringLookup([](int id) { return QStringLiteral("ein viel längerer Text %1").arg(id); });
    SendWindowMessage(bar, WM_RELOAD_LANGUAGE, 0, 0);
    EXPECT_EQ(tip(), QStringLiteral("ein viel längerer Text 256"));
    EXPECT_EQ(bar->GetTotalWidth(), width) << "texts wait for SetButtons";
    bar->SetButtons(defs);
    EXPECT_GT(bar->GetTotalWidth(), width);
}

} // namespace
