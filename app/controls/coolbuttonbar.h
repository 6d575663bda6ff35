// A strip cut out of one picture in which each button is a rectangle. The
// picture holds four state images (normal, hover, pressed, disabled) of the
// whole strip; a button shows its rectangle of the image that fits its state.
// A click posts the target's message with the button's command code, for the
// enabled button under the mouse when it is released.
#pragma once

#include "app/controls/coolbarbase.h"

#include <QPixmap>
#include <QRect>

#include <span>
#include <vector>

struct COOLBARBUTTON {
    int state;       // 1 enabled, 0 disabled
    int code;        // posted as the message's wParam
    int x, y, width, height;
    int tooltipId;   // string id of the tooltip, 0 none
    int labelId;     // string id of the label, 0 none
};

// Where the four state images lie in the bar's picture.
struct COOLBARSTATES {
    QRect normal, hover, pressed, disabled;
};

class CCoolButtonBar : public CoolBarBase {
    Q_OBJECT
public:
    explicit CCoolButtonBar(QWidget* parent = nullptr);

    // Cuts the four state images out of picture `bitmapId` and copies the
    // buttons, as many as `buttons` holds. Hover and press are reset.
    void SetButtons(const COOLBARSTATES& states, std::span<const COOLBARBUTTON> buttons,
                    int bitmapId);
    // Disables the first button with `code` and repaints.
    void DisableButton(int code);
    // Enables every button (no repaint).
    void EnableAllButtons();

    const std::vector<COOLBARBUTTON>& Buttons() const { return buttons_; }
    // The size of the normal image, the bar's natural size.
    QSize sizeHint() const override;

protected:
    virtual void DrawBar(QPainter& painter);

    int ButtonCount() const override;
    QRect ButtonArea(int index) const override;
    bool ButtonEnabled(int index) const override;
    int ButtonCode(int index) const override;
    int ButtonToolTipId(int index) const override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::vector<COOLBARBUTTON> buttons_;
    QPixmap images_[4];   // normal, hover, pressed, disabled
};

// Sends the bar a mouse move at the cursor's place, so that its hover state
// follows the mouse after a menu or a command.
void RefreshBarHover(QWidget* bar);
