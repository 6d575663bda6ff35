// A combo box that keeps its own entries and draws itself: its face and drop
// button (with the desktop's visual style when the active style has one, else
// the classic sunken look), its own drop window holding a list box, a scroll
// bar and a size grip, and, in drop-down style, an edit part with typing
// completion. Entries can be disabled: keyboard moves pass them by and the
// drop list does not pick them. What happens is told through Notify with the
// classic combo-box notification codes.
#pragma once

#include <QListWidget>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include <vector>

class QLineEdit;
class QSizeGrip;
class CAdvComboBox;

struct ComboEntry {
    QString text;
    bool disabled = false;
};

class CDropListBox;
class CDropScrollBar;

// The pop-up under (or over) the combo with the entries to pick from.
class CDropWnd : public QWidget {
    Q_OBJECT
public:
    CDropWnd(CAdvComboBox* combo, const std::vector<ComboEntry>& entries, int options);

    // Places the window below the combo, or above it when fewer than
    // `minRowsBelow` rows fit below, selects `selection` and shows it.
    void Open(int selection, int visibleRows, int minRowsBelow);

    CDropListBox* ListBox() const { return list_; }
    CDropScrollBar* ScrollBar() const { return scroll_; }
    const std::vector<ComboEntry>& Entries() const { return entries_; }
    int RowHeight() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPointer<CAdvComboBox> combo_;
    std::vector<ComboEntry> entries_;
    int options_ = 0;
    CDropListBox* list_ = nullptr;
    CDropScrollBar* scroll_ = nullptr;
    QSizeGrip* grip_ = nullptr;
};

// The drop window's list: the entry under the mouse becomes the selection
// when it is enabled; releasing the button over it picks it.
class CDropListBox : public QListWidget {
    Q_OBJECT
public:
    CDropListBox(CAdvComboBox* combo, QWidget* parent);

    bool IsEntryEnabled(int row) const;
    int RowsVisible() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointer<CAdvComboBox> combo_;
};

// The drop window's scroll bar, tied to its list.
class CDropScrollBar : public QScrollBar {
    Q_OBJECT
public:
    CDropScrollBar(CDropListBox* list, QWidget* parent);
    // Range and page from the list's entries and visible rows.
    void Sync();

private:
    CDropListBox* list_;
};

class CAdvComboBox : public QWidget {
    Q_OBJECT
public:
    // The two styles: with an edit part, or a list only.
    enum Style { CBS_DROPDOWN = 2, CBS_DROPDOWNLIST = 3 };
    enum Notification {
        CBN_SELCHANGE = 1,
        CBN_SETFOCUS = 3,
        CBN_KILLFOCUS = 4,
        CBN_EDITCHANGE = 5,
        CBN_EDITUPDATE = 6,
        CBN_DROPDOWN = 7,
        CBN_CLOSEUP = 8,
        CBN_SELENDOK = 9,
        CBN_SELENDCANCEL = 10,
    };
    // Option flags.
    enum Option {
        kInsetEdit = 2,      // the edit part sits further inside the face
        kWideEntries = 4,    // drop-list entries are measured 14 pixels wider
        kAppendMatch = 8,    // typing appends the rest of the first match
        kDropMatches = 16,   // typing opens a drop list of the matches
    };

    explicit CAdvComboBox(QWidget* parent = nullptr);
    ~CAdvComboBox() override;

    // Places the combo in `parent` at `rect` with `style`. When GetLangString
    // has a text for `id`, its lines become the entries.
    virtual bool Create(int style, const QRect& rect, QWidget* parent, int id);

    // --- the combo-box calls ---------------------------------------------
    // Appends an entry; its index.
    int AddString(const QString& text);
    int GetCount() const;
    // The first entry whose text equals the current text exactly; -1 none.
    int GetCurSel() const;
    // -1 clears the selection and the text (answers -1); an index within the
    // entries selects it (answers it); without entries the index is kept for
    // later and -1 answered; any other index answers -1.
    int SetCurSel(int index);
    // Selects the entry that exact search from `start` finds for `text`.
    int SelectString(int start, const QString& text);
    // The entry's text; answers its length plus one, -1 for a bad index.
    int GetLBText(int index, QString& text) const;
    int GetLBTextLen(int index) const;
    void ResetContent();
    // The drop list's top row while dropped; -1 otherwise.
    int GetTopIndex() const;
    int SetTopIndex(int index);
    // The index of the entry equal to `text` from `start` on (-1: from the
    // first), case-sensitive; -1 when none.
    int FindStringExact(int start, const QString& text) const;

    // Marks an entry disabled; false for a bad index.
    bool SetEntryDisabled(int index, bool disabled);
    bool IsEntryDisabled(int index) const;
    // The most rows the drop list shows; -1 no limit.
    void SetVisibleRows(int rows) { visibleRows_ = rows; }
    void SetOptions(int options) { options_ = options; }
    int GetOptions() const { return options_; }
    int GetStyle() const { return style_; }
    int GetId() const { return id_; }
    QString GetCurrentText() const;
    bool IsDropped() const { return dropped_; }
    CDropWnd* GetDropWnd() const { return drop_; }
    QLineEdit* GetEditPart() const { return edit_; }
    // The drop button's rectangle.
    QRect ButtonRect() const;

    QSize sizeHint() const override;

    // What the drop window and its list ask of the combo.
    void PickEntry(int index);   // take the drop list's entry and close
    void CloseDrop();            // close the drop window
    void ToggleDrop();           // open or close it
    bool HandleKey(QKeyEvent* event);

signals:
    // A combo-box notification (one of Notification).
    void Notify(int code);

protected:
    // Escape or Return while nothing is dropped; empty here.
    virtual void OnEscape();
    virtual void OnReturn();
    // The combo lost the focus to `next` (null: to another window).
    virtual void OnFocusLost(QWidget* next);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenDrop(const std::vector<ComboEntry>& entries);
    void MoveSelection(int key);
    void MoveDropSelection(int key);
    int NearestEnabled(int from, int step, int count, const std::vector<ComboEntry>& list,
                       const CDropListBox* box) const;
    void TypingCompletion();
    void MakeEditPart();
    void PlaceEditPart();
    void SetText(const QString& text);
    void Send(int code);

    int style_ = CBS_DROPDOWNLIST;
    int id_ = 0;
    int selection_ = -1;
    QLineEdit* edit_ = nullptr;
    QString text_;
    int options_ = kInsetEdit;
    QPointer<CDropWnd> drop_;
    bool dropped_ = false;
    std::vector<ComboEntry> entries_;
    int wheel_ = 0;
    bool focusNotified_ = false;
    bool suppressCancel_ = false;
    int minRowsBelow_ = 5;
    bool appendsAllowed_ = true;
    bool hover_ = false;
    bool inCompletion_ = false;
    int visibleRows_ = -1;
};
