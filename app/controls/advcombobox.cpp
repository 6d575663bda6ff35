#include "app/controls/advcombobox.h"

#include "app/controls/drawutil.h"
#include "app/controls/langstring.h"
#include "app/controls/syscolors.h"
#include "app/controls/themehelper.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWheelEvent>

#include <algorithm>

namespace {

// Rows that move with Page Up and Page Down while the list is closed.
constexpr int kPageRows = 10;
// Rows the wheel scrolls in the open list per notch.
constexpr int kWheelRows = 3;
constexpr int kWheelNotch = 120;

int ScrollBarExtent(const QWidget* widget)
{
    return widget->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, widget);
}

} // namespace

// --- CDropWnd -------------------------------------------------------------------

CDropWnd::CDropWnd(CAdvComboBox* combo, const std::vector<ComboEntry>& entries, int options)
    : QWidget(combo, Qt::Popup | Qt::FramelessWindowHint),
      combo_(combo),
      entries_(entries),
      options_(options)
{
    setFocusPolicy(Qt::StrongFocus);
    setFont(combo->font());
    list_ = new CDropListBox(combo, this);
    const int rowHeight = RowHeight();
    const QFontMetrics metrics(font());
    for (const ComboEntry& entry : entries_) {
        auto* item = new QListWidgetItem(entry.text, list_);
        item->setSizeHint(QSize(metrics.horizontalAdvance(entry.text), rowHeight));
        if (entry.disabled)
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
    scroll_ = new CDropScrollBar(list_, this);
    grip_ = new QSizeGrip(this);
}

int CDropWnd::RowHeight() const
{
    return QFontMetrics(font()).height() + 2;
}

void CDropWnd::Open(int selection, int visibleRows, int minRowsBelow)
{
    const QRect combo(combo_->mapToGlobal(QPoint(0, 0)), combo_->size());
    const QScreen* screen = combo_->screen() ? combo_->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen->availableGeometry();
    const int rowHeight = RowHeight();
    const int count = static_cast<int>(entries_.size());
    const int scrollExtent = ScrollBarExtent(this);
    const bool limited = visibleRows >= 0 && visibleRows <= count;

    int height = rowHeight * count + 2;
    int top = 0;
    const int roomBelow = work.bottom() - combo.bottom();
    if (roomBelow / rowHeight < minRowsBelow) {
        // Too little room below: the list opens above the combo.
        if (limited)
            height = visibleRows * rowHeight + 2;
        top = combo.top() - height;
        if (top < work.top()) {
            top = work.top();
            height = combo.top() - top;
        }
    } else {
        height = limited ? std::min(visibleRows * rowHeight, roomBelow) + 2
                         : std::max(std::min(height, roomBelow), scrollExtent);
        top = combo.bottom() + 1;
    }

    const QFontMetrics metrics(font());
    int widest = 0;
    for (const ComboEntry& entry : entries_)
        widest = std::max(widest, metrics.horizontalAdvance(entry.text));
    if (options_ & CAdvComboBox::kWideEntries)
        widest += 14;
    int width = std::max(widest + scrollExtent + 8, combo.width());
    int left = combo.left();
    if (left + width > work.right() + 1)
        left = work.right() + 1 - width;
    if (left < work.left()) {
        left = work.left();
        width = std::min(width, work.width());
    }

    setMinimumSize(std::min(combo.width(), width), scrollExtent + 1);
    setMaximumSize(width + 100, height + 100);
    setGeometry(left, top, width, height);
    if (selection >= 0 && selection < count)
        list_->setCurrentRow(selection);
    show();
    setFocus(Qt::PopupFocusReason);
    if (list_->currentItem())
        list_->scrollToItem(list_->currentItem());
}

void CDropWnd::resizeEvent(QResizeEvent* event)
{
    const int extent = ScrollBarExtent(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    list_->setGeometry(inner.left(), inner.top(), std::max(0, inner.width() - extent), inner.height());
    scroll_->setGeometry(inner.right() + 1 - extent, inner.top(), extent,
                         std::max(0, inner.height() - extent));
    grip_->setGeometry(inner.right() + 1 - extent, inner.bottom() + 1 - extent, extent, extent);
    scroll_->Sync();
    QWidget::resizeEvent(event);
}

void CDropWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor frame = SysColors::FromPalette(palette()).darkShadow;
    Draw3dRect(painter, rect(), frame, frame);
}

void CDropWnd::mousePressEvent(QMouseEvent* event)
{
    if (!combo_)
        return;
    const QPoint global = event->globalPosition().toPoint();
    if (!rect().contains(event->position().toPoint())) {
        // A press outside closes the list; a press on the combo itself must
        // not open it again.
        if (QRect(combo_->mapToGlobal(QPoint(0, 0)), combo_->size()).contains(global))
            setAttribute(Qt::WA_NoMouseReplay);
        combo_->CloseDrop();
        return;
    }
    QMouseEvent forwarded(QEvent::MouseButtonPress, QPointF(combo_->mapFromGlobal(global)),
                          event->globalPosition(), event->button(), event->buttons(),
                          event->modifiers());
    QCoreApplication::sendEvent(combo_, &forwarded);
}

void CDropWnd::keyPressEvent(QKeyEvent* event)
{
    if (combo_ && combo_->HandleKey(event))
        event->accept();
    else
        event->ignore();
}

void CDropWnd::hideEvent(QHideEvent* event)
{
    // Hidden from outside (a click elsewhere, the application deactivated):
    // the combo closes the list as it does for Escape.
    if (combo_ && combo_->GetDropWnd() == this)
        QMetaObject::invokeMethod(combo_, &CAdvComboBox::CloseDrop, Qt::QueuedConnection);
    QWidget::hideEvent(event);
}

// --- CDropListBox ---------------------------------------------------------------

CDropListBox::CDropListBox(CAdvComboBox* combo, QWidget* parent)
    : QListWidget(parent), combo_(combo)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setUniformItemSizes(true);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(SingleSelection);
}

bool CDropListBox::IsEntryEnabled(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry && entry->flags().testFlag(Qt::ItemIsEnabled);
}

int CDropListBox::RowsVisible() const
{
    const int rowHeight = count() > 0 ? std::max(1, sizeHintForRow(0)) : 1;
    return std::max(1, viewport()->height() / rowHeight);
}

void CDropListBox::mouseMoveEvent(QMouseEvent* event)
{
    if (!rect().contains(event->position().toPoint()))
        return;
    const int row = indexAt(event->position().toPoint()).row();
    if (IsEntryEnabled(row))
        setCurrentRow(row);
}

void CDropListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (!combo_ || !rect().contains(event->position().toPoint()))
        return;
    const int row = indexAt(event->position().toPoint()).row();
    if (!IsEntryEnabled(row) || row != currentRow())
        return;
    // Pick the entry, then close: the drop window is gone by then, so the
    // combo reports the end of the choice.
    QPointer<CAdvComboBox> combo = combo_;
    QMetaObject::invokeMethod(combo, [combo, row] {
        if (combo)
            combo->PickEntry(row);
    }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(combo, &CAdvComboBox::CloseDrop, Qt::QueuedConnection);
}

// --- CDropScrollBar -------------------------------------------------------------

CDropScrollBar::CDropScrollBar(CDropListBox* list, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), list_(list)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QScrollBar::valueChanged, list_->verticalScrollBar(), &QScrollBar::setValue);
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, &QScrollBar::setValue);
}

void CDropScrollBar::Sync()
{
    const int rows = list_->RowsVisible();
    setRange(0, std::max(0, list_->count() - rows));
    setPageStep(rows);
    setSingleStep(1);
    setValue(list_->verticalScrollBar()->value());
}

// --- CAdvComboBox ----------------------------------------------------------------

CAdvComboBox::CAdvComboBox(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

CAdvComboBox::~CAdvComboBox()
{
    dropped_ = false;
    if (drop_) {
        CDropWnd* drop = drop_.data();
        drop_ = nullptr;
        drop->hide();
        delete drop;
    }
}

bool CAdvComboBox::Create(int style, const QRect& rect, QWidget* parent, int id)
{
    style_ = (style & 3) == CBS_DROPDOWN ? CBS_DROPDOWN : CBS_DROPDOWNLIST;
    id_ = id;
    options_ |= kInsetEdit;
    if (parent != parentWidget())
        setParent(parent);
    setGeometry(rect);
    const QString table = id ? GetLangString(id) : QString();
    if (!table.isEmpty()) {
        ResetContent();
        for (const QString& line : table.split(QLatin1Char('\n')))
            AddString(line);
    }
    if (style_ == CBS_DROPDOWN)
        MakeEditPart();
    return true;
}

void CAdvComboBox::MakeEditPart()
{
    if (edit_)
        return;
    edit_ = new QLineEdit(this);
    edit_->setFrame(false);
    edit_->setText(text_);
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textEdited, this, [this] {
        TypingCompletion();
        if (!dropped_)
            Send(CBN_EDITCHANGE);
    });
    setFocusProxy(edit_);
    PlaceEditPart();
}

void CAdvComboBox::PlaceEditPart()
{
    if (!edit_)
        return;
    QRect r = rect();
    r.setRight(ButtonRect().left() - 1);
    r.adjust(2, 2, -2, -2);
    if (options_ & kInsetEdit)
        r.adjust(1, 2, 0, 0);
    edit_->setGeometry(r);
}

// --- the combo-box calls ---------------------------------------------------------

int CAdvComboBox::AddString(const QString& text)
{
    entries_.push_back(ComboEntry{text, false});
    const int index = static_cast<int>(entries_.size()) - 1;
    // A selection stored while there were no entries takes effect now.
    if (selection_ == index)
        SetText(text);
    return index;
}

int CAdvComboBox::GetCount() const
{
    return static_cast<int>(entries_.size());
}

int CAdvComboBox::FindStringExact(int start, const QString& text) const
{
    for (int i = std::max(start, 0); i < GetCount(); ++i)
        if (entries_[static_cast<size_t>(i)].text == text)
            return i;
    return -1;
}

QString CAdvComboBox::GetCurrentText() const
{
    return edit_ ? edit_->text() : text_;
}

int CAdvComboBox::GetCurSel() const
{
    return FindStringExact(-1, GetCurrentText());
}

int CAdvComboBox::SetCurSel(int index)
{
    if (index == -1) {
        selection_ = -1;
        SetText(QString());
        return -1;
    }
    if (entries_.empty()) {
        selection_ = index;
        return -1;
    }
    if (index < 0 || index >= GetCount())
        return -1;
    selection_ = index;
    SetText(entries_[static_cast<size_t>(index)].text);
    return index;
}

int CAdvComboBox::SelectString(int start, const QString& text)
{
    return SetCurSel(FindStringExact(start, text));
}

int CAdvComboBox::GetLBText(int index, QString& text) const
{
    if (index < 0 || index >= GetCount())
        return -1;
    text = entries_[static_cast<size_t>(index)].text;
    return static_cast<int>(text.size()) + 1;
}

int CAdvComboBox::GetLBTextLen(int index) const
{
    if (index < 0 || index >= GetCount())
        return -1;
    return static_cast<int>(entries_[static_cast<size_t>(index)].text.size()) + 1;
}

void CAdvComboBox::ResetContent()
{
    entries_.clear();
    selection_ = -1;
    SetText(QString());
}

int CAdvComboBox::GetTopIndex() const
{
    if (!dropped_ || !drop_)
        return -1;
    return std::max(0, drop_->ListBox()->indexAt(QPoint(1, 1)).row());
}

int CAdvComboBox::SetTopIndex(int index)
{
    if (!dropped_ || !drop_)
        return -1;
    QListWidgetItem* item = drop_->ListBox()->item(index);
    if (!item)
        return -1;
    drop_->ListBox()->scrollToItem(item, QAbstractItemView::PositionAtTop);
    return index;
}

bool CAdvComboBox::SetEntryDisabled(int index, bool disabled)
{
    if (index < 0 || index >= GetCount())
        return false;
    entries_[static_cast<size_t>(index)].disabled = disabled;
    return true;
}

bool CAdvComboBox::IsEntryDisabled(int index) const
{
    return index >= 0 && index < GetCount() && entries_[static_cast<size_t>(index)].disabled;
}

void CAdvComboBox::SetText(const QString& text)
{
    text_ = text;
    if (edit_ && edit_->text() != text)
        edit_->setText(text);
    update();
}

void CAdvComboBox::Send(int code)
{
    emit Notify(code);
}

void CAdvComboBox::OnEscape()
{
}

void CAdvComboBox::OnReturn()
{
}

void CAdvComboBox::OnFocusLost(QWidget*)
{
    OnEscape();
}

// --- the drop window -------------------------------------------------------------

void CAdvComboBox::OpenDrop(const std::vector<ComboEntry>& entries)
{
    if (dropped_)
        return;
    if (selection_ >= static_cast<int>(entries.size()))
        selection_ = 0;
    auto* drop = new CDropWnd(this, entries, options_);
    drop_ = drop;
    drop->setFont(font());
    Send(CBN_DROPDOWN);
    drop->Open(selection_, visibleRows_, minRowsBelow_);
    dropped_ = true;
    update();
}

void CAdvComboBox::CloseDrop()
{
    if (!drop_) {
        OnReturn();
        return;
    }
    CDropWnd* drop = drop_.data();
    drop_ = nullptr;
    dropped_ = false;
    drop->hide();
    drop->deleteLater();
    update();
    if (suppressCancel_)
        suppressCancel_ = false;
    else
        Send(CBN_SELENDCANCEL);
    Send(CBN_CLOSEUP);
}

void CAdvComboBox::ToggleDrop()
{
    if (dropped_)
        CloseDrop();
    else
        OpenDrop(entries_);
}

void CAdvComboBox::PickEntry(int index)
{
    const std::vector<ComboEntry>& list = drop_ ? drop_->Entries() : entries_;
    if (index < 0 || index >= static_cast<int>(list.size()))
        return;
    const QString text = list[static_cast<size_t>(index)].text;
    SetText(text);
    selection_ = FindStringExact(-1, text);
    if (edit_) {
        edit_->setFocus();
        edit_->selectAll();
    }
    Send(CBN_SELENDOK);
    suppressCancel_ = true;
    CloseDrop();
    Send(CBN_SELCHANGE);
}

// --- keys --------------------------------------------------------------------------

int CAdvComboBox::NearestEnabled(int from, int step, int count,
                                 const std::vector<ComboEntry>& list,
                                 const CDropListBox* box) const
{
    for (int i = from; i >= 0 && i < count; i += step) {
        const bool enabled = box ? box->IsEntryEnabled(i) : !list[static_cast<size_t>(i)].disabled;
        if (enabled)
            return i;
    }
    return -1;
}

void CAdvComboBox::MoveSelection(int key)
{
    const int count = GetCount();
    if (count == 0)
        return;
    const int old = selection_;
    const int current = old < 0 || old >= count ? 0 : old;
    int target = -1;
    switch (key) {
    case Qt::Key_Up:
        target = NearestEnabled(old < 0 ? -1 : old - 1, -1, count, entries_, nullptr);
        break;
    case Qt::Key_Down:
        target = NearestEnabled(old + 1, +1, count, entries_, nullptr);
        break;
    case Qt::Key_PageUp: {
        const int page = std::max(current - kPageRows, 0);
        target = NearestEnabled(page, -1, count, entries_, nullptr);
        if (target < 0)
            target = NearestEnabled(page, +1, current + 1, entries_, nullptr);
        break;
    }
    case Qt::Key_PageDown: {
        const int page = std::min(current + kPageRows, count - 1);
        target = NearestEnabled(page, +1, count, entries_, nullptr);
        if (target < 0)
            target = NearestEnabled(page, -1, count, entries_, nullptr);
        if (target >= 0 && target < current)
            target = -1;
        break;
    }
    default:
        break;
    }
    if (target < 0 || target == old)
        return;
    selection_ = target;
    SetText(entries_[static_cast<size_t>(target)].text);
    Send(CBN_SELENDOK);
    Send(CBN_SELCHANGE);
}

void CAdvComboBox::MoveDropSelection(int key)
{
    CDropListBox* box = drop_->ListBox();
    const int count = box->count();
    if (count == 0)
        return;
    const int current = box->currentRow();
    const int rows = box->RowsVisible();
    const int top = std::max(0, box->indexAt(QPoint(1, 1)).row());
    const int last = std::min(top + rows - 1, count - 1);
    int target = -1;
    switch (key) {
    case Qt::Key_Up:
        target = NearestEnabled(current - 1, -1, count, {}, box);
        break;
    case Qt::Key_Down:
        target = NearestEnabled(current + 1, +1, count, {}, box);
        break;
    case Qt::Key_PageDown: {
        const int page = current == last ? std::min(current + rows, count - 1) : last;
        target = NearestEnabled(page, +1, count, {}, box);
        if (target < 0)
            target = NearestEnabled(page, -1, count, {}, box);
        break;
    }
    case Qt::Key_PageUp: {
        const int page = current == top ? std::max(current - rows, 0) : top;
        target = NearestEnabled(page, -1, count, {}, box);
        if (target < 0)
            target = NearestEnabled(page, +1, count, {}, box);
        break;
    }
    default:
        break;
    }
    if (target < 0)
        return;
    box->setCurrentRow(target);
    box->scrollToItem(box->item(target));
}

bool CAdvComboBox::HandleKey(QKeyEvent* event)
{
    const int key = event->key();
    const bool alt = event->modifiers().testFlag(Qt::AltModifier);
    if (key == Qt::Key_F4 || (alt && (key == Qt::Key_Up || key == Qt::Key_Down))) {
        ToggleDrop();
        return true;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (dropped_ && drop_) {
            const int row = drop_->ListBox()->currentRow();
            if (drop_->ListBox()->IsEntryEnabled(row))
                PickEntry(row);
            CloseDrop();   // with the drop window gone, this reports the end
        } else {
            OnReturn();
        }
        return true;
    case Qt::Key_Escape:
        if (dropped_)
            CloseDrop();
        else
            OnEscape();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (dropped_ && drop_)
            MoveDropSelection(key);
        else
            MoveSelection(key);
        return true;
    case Qt::Key_Right:
        if ((options_ & kAppendMatch) && edit_ && edit_->cursorPosition() == edit_->text().size()) {
            TypingCompletion();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CAdvComboBox::keyPressEvent(QKeyEvent* event)
{
    if (HandleKey(event))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void CAdvComboBox::TypingCompletion()
{
    if (!edit_ || !edit_->hasFocus() || inCompletion_)
        return;
    const QString typed = edit_->text();
    if ((options_ & kAppendMatch) && appendsAllowed_) {
        if (typed.isEmpty())
            return;
        for (const ComboEntry& entry : entries_) {
            if (entry.text.startsWith(typed, Qt::CaseInsensitive)) {
                inCompletion_ = true;
                edit_->setText(entry.text);
                edit_->setSelection(static_cast<int>(typed.size()),
                                    static_cast<int>(entry.text.size() - typed.size()));
                inCompletion_ = false;
                break;
            }
        }
    }
    if (options_ & kDropMatches) {
        if (dropped_)
            CloseDrop();
        if (typed.isEmpty())
            return;
        std::vector<ComboEntry> matches;
        for (const ComboEntry& entry : entries_)
            if (entry.text.startsWith(typed, Qt::CaseInsensitive) && entry.text != typed)
                matches.push_back(entry);
        if (matches.size() > 1) {
            selection_ = 0;
            OpenDrop(matches);
            edit_->setFocus();
        }
    }
    if (!dropped_)
        Send(CBN_EDITUPDATE);
}

// --- mouse and focus -------------------------------------------------------------

QRect CAdvComboBox::ButtonRect() const
{
    const int extent = ScrollBarExtent(this);
    return QRect(width() - extent, 0, extent, height());
}

QSize CAdvComboBox::sizeHint() const
{
    return {120, fontMetrics().height() + 8};
}

void CAdvComboBox::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    if (style_ == CBS_DROPDOWNLIST || ButtonRect().contains(event->position().toPoint()))
        ToggleDrop();
}

void CAdvComboBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const bool over = style_ == CBS_DROPDOWN ? ButtonRect().contains(pos) : rect().contains(pos);
    if (over != hover_) {
        hover_ = over;
        update();
    }
}

void CAdvComboBox::leaveEvent(QEvent* event)
{
    if (hover_) {
        hover_ = false;
        update();
    }
    QWidget::leaveEvent(event);
}

void CAdvComboBox::wheelEvent(QWheelEvent* event)
{
    wheel_ += event->angleDelta().y();
    if (wheel_ >= kWheelNotch || wheel_ <= -kWheelNotch) {
        const bool up = wheel_ > 0;
        wheel_ = 0;
        if (dropped_ && drop_) {
            QScrollBar* bar = drop_->ListBox()->verticalScrollBar();
            bar->setValue(bar->value() + (up ? -kWheelRows : kWheelRows));
        } else {
            MoveSelection(up ? Qt::Key_Up : Qt::Key_Down);
        }
    }
    event->accept();
}

void CAdvComboBox::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
    if (event->reason() == Qt::PopupFocusReason)
        return;
    if (edit_)
        edit_->setFocus();
    else
        Send(CBN_SETFOCUS);
}

void CAdvComboBox::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
    // Opening the drop list takes the focus for the list's time.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    QWidget* next = QApplication::focusWidget();
    if (next && (next == edit_ || next == this))
        return;
    OnFocusLost(next);
}

bool CAdvComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != edit_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        appendsAllowed_ = key->key() != Qt::Key_Backspace && key->key() != Qt::Key_Delete;
        if (HandleKey(key))
            return true;
        break;
    }
    case QEvent::FocusIn:
        edit_->selectAll();
        if (!focusNotified_) {
            focusNotified_ = true;
            Send(CBN_SETFOCUS);
        }
        break;
    case QEvent::FocusOut: {
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason)
            break;
        focusNotified_ = false;
        QWidget* next = QApplication::focusWidget();
        if (dropped_) {
            CloseDrop();
        } else if (next != this) {
            Send(CBN_SELENDCANCEL);
            Send(CBN_KILLFOCUS);
            edit_->deselect();
        }
        if (next != this)
            OnFocusLost(next);
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CAdvComboBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (edit_)
            edit_->setEnabled(isEnabled());
        update();
    }
    if (event->type() == QEvent::FontChange && edit_)
        edit_->setFont(font());
    QWidget::changeEvent(event);
}

void CAdvComboBox::resizeEvent(QResizeEvent* event)
{
    PlaceEditPart();
    QWidget::resizeEvent(event);
}

// --- painting ----------------------------------------------------------------------

void CAdvComboBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const SysColors colors = SysColors::FromPalette(palette());
    const bool enabled = isEnabled();
    QRect button = ButtonRect();
    painter.fillRect(rect(), enabled ? colors.window : colors.btnFace);

    if (ThemeHelper::UseVisualStyles(this)) {
        QStyleOptionComboBox option;
        option.initFrom(this);
        option.editable = style_ == CBS_DROPDOWN;
        option.frame = true;
        option.subControls = QStyle::SC_All;
        if (dropped_) {
            option.state |= QStyle::State_On | QStyle::State_Sunken;
            option.activeSubControls = QStyle::SC_ComboBoxArrow;
        } else if (hover_) {
            option.state |= QStyle::State_MouseOver;
            option.activeSubControls = QStyle::SC_ComboBoxArrow;
        }
        style()->drawComplexControl(QStyle::CC_ComboBox, &option, &painter, this);
    } else {
        // The classic sunken frame and a scroll-bar arrow button.
        Draw3dRect(painter, rect(), colors.btnShadow, colors.btnHighlight);
        Draw3dRect(painter, rect().adjusted(1, 1, -1, -1), colors.darkShadow, colors.light);
        button.adjust(-2, 2, -2, -2);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = button;
        painter.fillRect(button, colors.btnFace);
        if (dropped_)
            Draw3dRect(painter, button, colors.btnShadow, colors.btnShadow);
        else
            Draw3dRect(painter, button, colors.btnHighlight, colors.darkShadow);
        if (!enabled)
            arrow.state &= ~QStyle::State_Enabled;
        arrow.rect = dropped_ ? button.adjusted(2, 2, 0, 0) : button.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
    }

    if (style_ != CBS_DROPDOWNLIST)
        return;
    QRect textRect = rect();
    textRect.setRight(ButtonRect().left() - 3);
    textRect.adjust(2, 1, 0, -1);
    QColor back = colors.window;
    QColor text = colors.btnText;
    if (!enabled) {
        back = colors.btnFace;
        text = colors.grayText;
    } else if (hasFocus() && !dropped_) {
        back = colors.highlight;
        text = colors.highlightText;
    }
    painter.fillRect(textRect, back);
    painter.setPen(text);
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}
