// The file list's header, painted by itself: flat button-face items with a
// divider between them, each item showing an optional image or check box at
// its left, its text, and an optional bitmap at its right. A double click
// counts as a second click, so a header check box toggles twice.
#pragma once

#include "app/controls/syscolors.h"

#include <QHeaderView>
#include <QPixmap>

#include <vector>

class CXListCtrl;

class CXHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CXHeaderCtrl(QWidget* parent = nullptr);

    // The list the header belongs to; set by the list.
    void SetListCtrl(CXListCtrl* list) { list_ = list; }
    CXListCtrl* GetListCtrl() const { return list_; }

    // Pictures for the items' image index; without them the index is a
    // check-box state (1 unchecked, 2 checked; 0 shows nothing).
    void SetImageList(std::vector<QPixmap> images);

    // Pixels kept free on both sides of each item and after its image.
    int GetItemMargin() const { return itemMargin_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Draws one item into `rect` (already narrowed by the margin).
    virtual void DrawItem(QPainter& painter, const QRect& rect, int section);
    // Each returns the width it used.
    int DrawImage(QPainter& painter, const QRect& rect, int section);
    int DrawBitmap(QPainter& painter, const QRect& rect, int section);
    int DrawText(QPainter& painter, const QRect& rect, int section);

private:
    CXListCtrl* list_ = nullptr;
    bool dividers_ = true;
    int itemMargin_ = 6;
    std::vector<QPixmap> images_;
    SysColors colors_;
};
