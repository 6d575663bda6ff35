// The cover laid over the empty file list: a picture with three numbered
// hints, and a hot area over the picture's add-files button that asks the
// owner to add files, as the tool bar's Add PDF button does.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class CLvCover : public QWidget {
    Q_OBJECT
public:
    // Loads "lv_cover.png" from `programFolder`; without it the cover shows
    // its background, frame and hints.
    CLvCover(const QString& programFolder, QWidget* parent = nullptr);

    // Where the add-files command goes; nothing is sent before it is set.
    void SetTarget(QObject* target, unsigned message);

    // The area that adds files, in the cover's coordinates.
    static QRect HotRect() { return QRect(QPoint(81, 122), QPoint(202, 252)); }

    bool HasPicture() const { return !picture_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void LoadHints();

    QPixmap picture_;
    QPointer<QObject> target_;
    unsigned message_ = 0;
    QString hints_[3];
};
