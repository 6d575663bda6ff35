// A row of buttons that each have their own picture (four state images in
// one column) and an optional localised text drawn beside the picture's
// left part; a button with text widens its picture by stretching the middle
// between its unstretched caps. A click posts the target's message with the
// button's command code, for the enabled button under the mouse when it is
// released.
#pragma once

#include "app/controls/coolbarbase.h"

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <span>
#include <vector>

struct COOLTOOLBUTTON {
    int state;         // initial state: 1 enabled, 0 disabled
    int code;          // command code; -2 a gap, -1 a picture without text
    int bitmapId;
    int normalX, normalY, hoverX, hoverY, pressedX, pressedY, disabledX, disabledY;
    int imageWidth, imageHeight;
    int textId;        // string id of the text; 0 or less: none
    int tooltipId;     // string id of the tooltip; 0: none
    int leftCap;       // columns kept unstretched at the left
    int rightCap;      // and at the right
    int gap;           // pixels after the button
};

class CCoolToolBar : public CoolBarBase {
    Q_OBJECT
public:
    explicit CCoolToolBar(QWidget* parent = nullptr);

    // Copies the buttons, fetches their texts and cuts their state images;
    // returns 1.
    int SetButtons(std::span<const COOLTOOLBUTTON> buttons);
    // Enables the first button with `code` and repaints.
    void EnableButton(int code);
    // Gives the first button with `code` the state (1 enabled, 0 disabled)
    // and repaints.
    void SetButtonState(int code, int state);
    // Every button (gaps and plain pictures aside) gets the state.
    void SetAllButtonStates(int state);
    // The state of the first button with `code`; -1 when there is none.
    int ButtonState(int code) const;
    // The state of the convert button (code 301); 0 when there is none.
    int IsConvertEnabled() const;
    // The width the buttons take when laid out.
    int GetTotalWidth() const;
    // Text size in pixels before scaling; 0 or less means 14.
    void SetFontSize(double pixels);
    void SetFontFace(const QString& face);

    // The laid-out rectangle of the button with `code`; empty before the
    // first paint or when there is none.
    QRect ButtonRect(int code) const;

    QSize sizeHint() const override;

protected:
    // Keeps the buttons and takes their texts through GetLangString.
    virtual void LoadButtonTexts(std::span<const COOLTOOLBUTTON> buttons);
    virtual void DrawBar(QPainter& painter);
    // "Tahoma" unless the owner set another face.
    virtual QString GetFontFace() const;
    // The scaled text size in pixels.
    virtual double GetFontSize() const;

    int ButtonCount() const override;
    QRect ButtonArea(int index) const override;
    bool ButtonEnabled(int index) const override;
    int ButtonCode(int index) const override;
    int ButtonToolTipId(int index) const override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Slot {
        int state = 0;
        int code = 0;
        QRect rect;            // laid out by painting; hit tests use it
        QPixmap images[4];     // normal, hover, pressed, disabled
        QString text;
        int tooltipId = 0;
        int leftCap = 0;
    };

    // The text's width and height as the layout counts them: width + 1 and
    // height, each raised to the next whole pixel.
    QSize TextSize(const QString& text) const;
    // The width of a button as laid out (0 for a gap).
    int ButtonWidth(const COOLTOOLBUTTON& def, const Slot& slot) const;
    QFont TextFont() const;

    std::vector<COOLTOOLBUTTON> defs_;
    std::vector<Slot> slots_;
    int pressedDrawn_ = -1;
    QString fontFace_;
    double fontSize_ = -1.0;
    double scale_ = 1.0;
    double textOffsetY_ = 1.0;
    QColor normalText_;
    QColor disabledText_;
    QColor hoverText_;
    QColor hoverHalo_;
};
