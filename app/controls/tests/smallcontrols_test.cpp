// The cover over the empty list, the progress window and the hyperlink.
#include "app/controls/tests/qtenv.h"

#include "app/controls/hyperlink.h"
#include "app/controls/langstring.h"
#include "app/controls/lvcover.h"
#include "app/controls/progresswnd.h"
#include "app/controls/windowmessage.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using controlstest::CountColor;
using controlstest::Grab;

namespace {

using Receiver = controlstest::MessageReceiver;

// The folder that holds "lv_cover.png" in the source tree.
const QString kPictures = QStringLiteral(TRANCEL_SOURCE_DIR "/app/controls/pictures");

// --- cover ---------------------------------------------------------------------------

TEST(Cover, TheHotRectangleSendsAddFilesExactlyInsideIt)
{
    CLvCover cover(kPictures);
    cover.resize(877, 404);
    Receiver receiver;
    QTest::mouseClick(&cover, Qt::LeftButton, Qt::NoModifier, QPoint(100, 150));
    EXPECT_TRUE(receiver.messages.empty()) << "no target yet";

    cover.SetTarget(&receiver, WM_COOLBAR_COMMAND);
    const struct {
        QPoint at;
        bool sends;
    } cases[] = {
        {{81, 122}, true}, {{80, 122}, false}, {{81, 121}, false}, {{202, 252}, true},
        {{203, 252}, false}, {{202, 253}, false}, {{140, 180}, true}, {{500, 300}, false},
    };
    for (const auto& c : cases) {
        receiver.messages.clear();
        QTest::mouseClick(&cover, Qt::LeftButton, Qt::NoModifier, c.at);
        ASSERT_EQ(receiver.messages.size(), c.sends ? 1u : 0u) << c.at.x() << "," << c.at.y();
        if (c.sends) {
            EXPECT_EQ(receiver.messages[0].first, WM_COOLBAR_COMMAND);
            EXPECT_EQ(receiver.messages[0].second, 201u);
        }
    }
    receiver.messages.clear();
    QTest::mouseClick(&cover, Qt::RightButton, Qt::NoModifier, QPoint(100, 150));
    EXPECT_TRUE(receiver.messages.empty());
}

TEST(Cover, PaintsPictureFrameAndHintsAndRepaintsThemInTheNewLanguage)
{
    controlstest::InstallLangStrings();
    CLvCover cover(kPictures);
    ASSERT_TRUE(cover.HasPicture());
    cover.resize(877, 404);
    const QImage withPicture = Grab(&cover);
    const QImage picture(kPictures + QStringLiteral("/lv_cover.png"));
    // The picture fills the client (the cover is its size); the frame is
    // drawn over its edge.
    EXPECT_EQ(withPicture.pixel(200, 100) & 0xFFFFFF, picture.pixel(200, 100) & 0xFFFFFF);
    EXPECT_EQ(withPicture.pixel(0, 200) & 0xFFFFFF, 0xB8B8B8u);
    EXPECT_EQ(withPicture.pixel(876, 403) & 0xFFFFFF, 0xB8B8B8u);

    CLvCover bare(QStringLiteral("/nonexistent"));
    EXPECT_FALSE(bare.HasPicture());
    bare.resize(877, 404);
    const QImage plain = Grab(&bare);
    EXPECT_EQ(plain.pixel(200, 100) & 0xFFFFFF, 0xE9E9E9u);
    EXPECT_EQ(plain.pixel(0, 0) & 0xFFFFFF, 0xB8B8B8u);
    const QRect hints[3] = {QRect(25, 265, 240, 150), QRect(335, 265, 240, 150),
                            QRect(620, 265, 240, 139)};
    for (const QRect& r : hints)
        EXPECT_GT(CountColor(plain, r, QColor(0x61, 0x61, 0x61)), 10);

    SetLangStringLookup([](int id) { return QStringLiteral("Ein anderer, viel längerer Hinweis %1").arg(id); });
    const QImage before = Grab(&bare);
    SendWindowMessage(&bare, WM_RELOAD_LANGUAGE, 0, 0);
    const QImage after = Grab(&bare);
    for (const QRect& r : hints)
        EXPECT_NE(before.copy(r), after.copy(r));
}

// --- progress window ---------------------------------------------------------------

TEST(ProgressWindow, ShowsLongTextsWholeAndNothingBeforeItExists)
{
    CProgressWnd progress;
    progress.SetText(QStringLiteral("early"));
    EXPECT_TRUE(progress.GetText().isEmpty());
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    ASSERT_TRUE(progress.Create(&owner, QStringLiteral("Add PDF")));
    EXPECT_EQ(progress.windowTitle(), QStringLiteral("Add PDF"));
    EXPECT_TRUE(progress.isVisible());
    const QString longText = QStringLiteral("Add PDF File:/home/user/") + QString(900, QLatin1Char('x'))
        + QStringLiteral(".pdf Success");
    progress.SetText(longText);
    EXPECT_EQ(progress.GetText(), longText);
    // The Cancel button stands right-aligned below three lines of text.
    const QRect button = progress.CancelButton()->geometry();
    EXPECT_EQ(button.right() + 1, 490);
    EXPECT_EQ(progress.width(), 500);
    EXPECT_EQ(progress.CancelButton()->text(), QStringLiteral(" Cancel "));
}

TEST(ProgressWindow, EscapeCancelsAndHides)
{
    QWidget owner;
    owner.show();
    CProgressWnd progress;
    ASSERT_TRUE(progress.Create(&owner));
    ASSERT_TRUE(progress.isVisible());
    // Escape typed anywhere while the owner pumps.
    QTimer::singleShot(0, &owner, [&] { QTest::keyClick(&owner, Qt::Key_Escape); });
    QTest::qWait(10);
    EXPECT_FALSE(progress.Cancelled()) << "Escape outside the pump is the owner's";
    QCoreApplication::postEvent(&owner, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    progress.PeekAndPump();
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_FALSE(progress.isVisible());

    CProgressWnd second;
    ASSERT_TRUE(second.Create(&owner));
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_TRUE(second.Cancelled());
    EXPECT_FALSE(second.isVisible());
}

TEST(ProgressWindow, ModalModeDisablesAndReEnablesTheOwner)
{
    QWidget top;
    QWidget* owner = new QWidget(&top);
    top.show();
    {
        CProgressWnd progress;
        ASSERT_TRUE(progress.Create(owner));
        ASSERT_EQ(progress.GoModal(), 1);
        EXPECT_TRUE(progress.IsModal());
        EXPECT_FALSE(top.isEnabled()) << "the topmost enabled window is disabled";
        EXPECT_TRUE(progress.isEnabled());
        EXPECT_TRUE(progress.CancelButton()->isEnabled());

        // A click on Cancel cancels.
        QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
        EXPECT_TRUE(progress.Cancelled());
        EXPECT_FALSE(top.isEnabled()) << "still modal until destroyed";
        progress.DestroyWindow();
        EXPECT_TRUE(top.isEnabled());
    }
    {
        CProgressWnd progress;
        ASSERT_TRUE(progress.Create(&top));
        progress.GoModal();
        EXPECT_FALSE(top.isEnabled());
    }
    EXPECT_TRUE(top.isEnabled()) << "destroying the modal window re-enables the owner";
}

TEST(ProgressWindow, AQuitDuringThePumpStillEndsTheMainLoop)
{
    QWidget owner;
    owner.show();
    CProgressWnd progress;
    progress.Create(&owner);
    bool pumped = false;
    QTimer::singleShot(0, [&] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        progress.PeekAndPump();
        pumped = true;
    });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    failsafe.start(5000);
    EXPECT_EQ(QApplication::exec(), 0) << "the main loop ended through the quit";
    EXPECT_TRUE(pumped);
}

// --- hyperlink ------------------------------------------------------------------------

TEST(Hyperlink, AddressAndTextStandInForEachOther)
{
    CHyperLink fromText(QStringLiteral("https://example.org/"), QString());
    EXPECT_EQ(fromText.GetURL(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(fromText.toolTip(), QStringLiteral("https://example.org/"));
    CHyperLink fromAddress(QString(), QStringLiteral("https://example.org/download.html"));
    EXPECT_EQ(fromAddress.text(), QStringLiteral("https://example.org/download.html"));
    EXPECT_TRUE(fromAddress.font().underline());
    EXPECT_EQ(fromAddress.cursor().shape(), Qt::PointingHandCursor);
}

TEST(Hyperlink, FittingKeepsTheEdgeOfItsAlignment)
{
    QWidget parent;
    parent.resize(400, 100);
    CHyperLink link(QStringLiteral("short"), QStringLiteral("https://example.org/"), &parent);
    link.setGeometry(100, 20, 200, 40);
    link.setAlignment(Qt::AlignRight | Qt::AlignTop);
    link.setText(QStringLiteral("a somewhat longer text"));
    link.PositionWindow();
    EXPECT_EQ(link.geometry().right(), 299);
    EXPECT_EQ(link.geometry().top(), 20);
    EXPECT_EQ(link.width(), link.fontMetrics().horizontalAdvance(link.text()));

    link.setGeometry(100, 20, 200, 40);
    link.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    link.PositionWindow();
    EXPECT_EQ(link.geometry().left(), 100);
    EXPECT_EQ(link.geometry().center().y(), 39);
}

TEST(Hyperlink, ErrorTexts)
{
    EXPECT_EQ(HyperlinkErrorText(26), QStringLiteral("A sharing violation occurred. "));
    EXPECT_EQ(HyperlinkErrorText(4), QStringLiteral("Unknown Error (4) occurred."));
    EXPECT_EQ(HyperlinkErrorText(2), QStringLiteral("The specified file was not found."));
    EXPECT_EQ(OpenWithDesktop(QStringLiteral("/nonexistent/folder/file.htm")), 2);
}

TEST(Hyperlink, FollowingMarksVisitedOrReportsTheFailure)
{
    CHyperLink link(QStringLiteral("Download"), QStringLiteral("https://example.org/"));
    link.SetColours(QColor(100, 0, 0), QColor(20, 20, 255), QColor(0, 200, 0));
    QStringList opened;
    link.SetOpener([&](const QString& address) {
        opened << address;
        return 42;
    });
    link.resize(link.sizeHint());
    link.show();
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(100, 0, 0));
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://example.org/")});
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(20, 20, 255));

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&link, &enter);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 200, 0));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(20, 20, 255));

    CHyperLink failing(QStringLiteral("x"), QStringLiteral("https://example.org/"));
    failing.SetOpener([](const QString&) { return 26; });
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    EXPECT_EQ(failing.FollowLink(), 26);
    EXPECT_EQ(shown, QStringLiteral("Error|Unable to open hyperlink:\n\nA sharing violation occurred. "));
    EXPECT_FALSE(failing.IsVisited());
}

} // namespace
