// What the button bar and the tool bar share: buttons hit-tested in order
// (the first hit wins), hover that follows the mouse over enabled buttons,
// tooltips per button from the string table, the target that clicks are
// posted to, and a caption drawn over the bar.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

class CoolBarBase : public QWidget {
    Q_OBJECT
public:
    explicit CoolBarBase(QWidget* parent = nullptr);

    // Where clicks go: `message` is posted to `target` with the button's
    // command code. No command is posted while there is no target.
    void SetTarget(QObject* target, unsigned message);
    // A text drawn over the bar at (x, y); empty: none.
    void SetCaption(const QString& text, int x, int y);
    // Builds the tooltips from the buttons' tooltip string ids.
    void InitToolTips();

protected:
    virtual int ButtonCount() const = 0;
    virtual QRect ButtonArea(int index) const = 0;
    virtual bool ButtonEnabled(int index) const = 0;
    virtual int ButtonCode(int index) const = 0;
    virtual int ButtonToolTipId(int index) const = 0;

    // The first button under `pos`, considering only enabled buttons when
    // asked; -1 none.
    int HitTest(const QPoint& pos, bool enabledOnly) const;
    // Posts the command of button `index` when it is enabled and a target is
    // set; repaints first.
    void PostCommand(int index);
    // Draws the caption in its colour.
    void DrawCaption(QPainter& painter) const;

    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

    int hover_ = -1;
    int pressed_ = -1;
    bool captured_ = false;
    bool toolTips_ = false;

private:
    QPointer<QObject> target_;
    unsigned message_ = 0;
    std::vector<QString> toolTipTexts_;
    QString caption_;
    QPoint captionPos_;
};
