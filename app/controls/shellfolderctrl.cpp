#include "app/controls/shellfolderctrl.h"

#include "app/controls/windowmessage.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

// Folders on disk deeper than this below a checked folder are not gathered.
constexpr int kMaxDiskDepth = 64;

constexpr QDir::Filters kFolders =
    QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

bool HasSubfolders(const QString& path)
{
    if (IsLinkIntoAncestor(path))
        return false;
    QDirIterator it(path, kFolders);
    return it.hasNext();
}

// The folder icon with its open form for selected items; `link` adds the
// mark of a symbolic link in the bottom-left corner.
QIcon MakeFolderIcon(const QStyle* style, bool link)
{
    const QIcon closed = QFileIconProvider().icon(QFileIconProvider::Folder);
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    const auto mark = [link](QPixmap pixmap) {
        if (link && !pixmap.isNull()) {
            QPainter p(&pixmap);
            const int s = pixmap.height() / 2;
            const QRect box(0, pixmap.height() - s, s, s);
            p.fillRect(box, Qt::white);
            p.setPen(Qt::black);
            p.drawRect(box.adjusted(0, 0, -1, -1));
            p.drawLine(box.left() + 2, box.bottom() - 1, box.right() - 2, box.top() + 2);
            p.drawLine(box.right() - 2, box.top() + 2, box.right() - 2, box.top() + s / 2);
        }
        return pixmap;
    };
    QIcon icon;
    icon.addPixmap(mark(closed.pixmap(16, 16)), QIcon::Normal);
    icon.addPixmap(mark(open.pixmap(16, 16)), QIcon::Selected);
    return icon;
}

} // namespace

bool IsLinkIntoAncestor(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return false;
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return true;   // broken or circular: nothing to follow
    const QString holder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return target == QLatin1String("/") || holder == target
        || holder.startsWith(target + QLatin1Char('/'));
}

// --- CShellFolderCtrl ---------------------------------------------------------

CShellFolderCtrl::CShellFolderCtrl(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    folderIcon_ = MakeFolderIcon(style(), false);
    linkIcon_ = MakeFolderIcon(style(), true);
    connect(this, &QTreeWidget::itemExpanded, this, &CShellFolderCtrl::OnItemExpanded);
}

void CShellFolderCtrl::InitTree(const QString& root, const QString& openPath)
{
    clear();
    QTreeWidgetItem* top = InsertFolder(nullptr, root);
    if (!top)
        return;
    FillChildren(top);
    top->setExpanded(true);
    if (!openPath.isEmpty())
        SelectPath(openPath);
}

QTreeWidgetItem* CShellFolderCtrl::InsertFolder(QTreeWidgetItem* parent, const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return nullptr;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    auto* item = new QTreeWidgetItem();
    QString name = info.fileName();
    if (name.isEmpty())
        name = clean;
    item->setText(0, name);
    item->setToolTip(0, clean);
    item->setData(0, PathRole, clean);
    item->setData(0, KindRole, parent ? kOrdinary : kRoot);
    item->setData(0, LinkRole, info.isSymLink());
    item->setIcon(0, info.isSymLink() ? linkIcon_ : folderIcon_);
    item->setChildIndicatorPolicy(HasSubfolders(clean) ? QTreeWidgetItem::ShowIndicator
                                                       : QTreeWidgetItem::DontShowIndicator);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    OnItemInserted(item);
    return item;
}

void CShellFolderCtrl::FillChildren(QTreeWidgetItem* item)
{
    if (!item)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    const QString path = GetItemPath(item);
    if (!IsLinkIntoAncestor(path)) {
        QFileInfoList entries = QDir(path).entryInfoList(kFolders, QDir::NoSort);
        std::stable_sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
            const int byName = a.fileName().compare(b.fileName(), Qt::CaseInsensitive);
            return byName != 0 ? byName < 0 : a.fileName() < b.fileName();
        });
        for (const QFileInfo& entry : entries)
            InsertFolder(item, entry.filePath());
    }
    item->setChildIndicatorPolicy(item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
    OnChildrenFilled(item);
    setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

QString CShellFolderCtrl::GetItemPath(const QTreeWidgetItem* item) const
{
    return item ? item->data(0, PathRole).toString() : QString();
}

bool CShellFolderCtrl::SelectPath(const QString& path)
{
    QTreeWidgetItem* current = topLevelItem(0);
    if (!current)
        return false;
    const QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString rootPath = GetItemPath(current);
    QStringList steps;
    if (target != rootPath) {
        const QString prefix = rootPath.endsWith(QLatin1Char('/')) ? rootPath
                                                                    : rootPath + QLatin1Char('/');
        if (!target.startsWith(prefix))
            return false;
        steps = target.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    }
    for (const QString& step : steps) {
        if (current->childCount() == 0)
            FillChildren(current);
        current->setExpanded(true);
        const QString want = QDir(GetItemPath(current)).filePath(step);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < current->childCount() && !next; ++i)
            if (GetItemPath(current->child(i)) == want)
                next = current->child(i);
        if (!next)
            return false;
        current = next;
    }
    setCurrentItem(current);
    scrollToItem(current);
    return true;
}

void CShellFolderCtrl::Refresh(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const bool expanded = item->isExpanded();
    qDeleteAll(item->takeChildren());
    FillChildren(item);
    if (expanded)
        item->setExpanded(true);
}

void CShellFolderCtrl::OnChildrenFilled(QTreeWidgetItem*)
{
}

void CShellFolderCtrl::OnItemInserted(QTreeWidgetItem*)
{
}

void CShellFolderCtrl::OnItemExpanded(QTreeWidgetItem* item)
{
    if (item->childCount() == 0)
        FillChildren(item);
}

bool CShellFolderCtrl::event(QEvent* event)
{
    if (const WindowMessage* message = AsWindowMessage(event)) {
        if (message->message() == kRefreshMessage) {
            Refresh(reinterpret_cast<QTreeWidgetItem*>(message->wParam()));
            return true;
        }
    }
    return QTreeWidget::event(event);
}

// --- CCheckShellFolderCtrl ----------------------------------------------------

CCheckShellFolderCtrl::CCheckShellFolderCtrl(QWidget* parent) : CShellFolderCtrl(parent)
{
}

bool CCheckShellFolderCtrl::IsChecked(const QTreeWidgetItem* item) const
{
    return item && item->checkState(0) == Qt::Checked;
}

bool CCheckShellFolderCtrl::IsBold(const QTreeWidgetItem* item) const
{
    return item && item->font(0).bold();
}

void CCheckShellFolderCtrl::SetChecked(QTreeWidgetItem* item, bool checked)
{
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    QFont font = item->font(0);
    font.setBold(checked);
    item->setFont(0, font);
    for (int i = 0; i < item->childCount(); ++i)
        SetChecked(item->child(i), checked);
}

void CCheckShellFolderCtrl::ToggleCheck(QTreeWidgetItem* item)
{
    if (!item)
        return;
    SetChecked(item, !IsChecked(item));
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) {
        bool bold = IsChecked(up);
        for (int i = 0; i < up->childCount() && !bold; ++i)
            bold = IsBold(up->child(i));
        QFont font = up->font(0);
        font.setBold(bold);
        up->setFont(0, font);
    }
}

void CCheckShellFolderCtrl::OnItemInserted(QTreeWidgetItem* item)
{
    item->setCheckState(0, Qt::Unchecked);
}

void CCheckShellFolderCtrl::OnChildrenFilled(QTreeWidgetItem* item)
{
    const bool checked = IsChecked(item);
    for (int i = 0; i < item->childCount(); ++i)
        SetChecked(item->child(i), checked);
}

QRect CCheckShellFolderCtrl::CheckBoxRect(const QTreeWidgetItem* item) const
{
    const QModelIndex index = indexFromItem(item);
    if (!index.isValid())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay
        | QStyleOptionViewItem::HasDecoration;
    option.text = index.data(Qt::DisplayRole).toString();
    option.icon = index.data(Qt::DecorationRole).value<QIcon>();
    option.checkState = index.data(Qt::CheckStateRole).value<Qt::CheckState>();
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void CCheckShellFolderCtrl::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) {
        event->accept();
        return;
    }
    QTreeWidgetItem* item = itemFromIndex(index);
    setCurrentItem(item);
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton && CheckBoxRect(item).contains(pos)) {
        ToggleCheck(item);
        event->accept();
        return;
    }
    CShellFolderCtrl::mousePressEvent(event);
}

int CCheckShellFolderCtrl::GetCheckedFolders(QStringList& folders, const bool& cancelled)
{
    folders.clear();
    QSet<QString> visited;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (!Collect(topLevelItem(i), folders, visited, cancelled))
            break;
    return 1;
}

bool CCheckShellFolderCtrl::Collect(QTreeWidgetItem* item, QStringList& folders,
                                    QSet<QString>& visited, const bool& cancelled)
{
    const QString path = GetItemPath(item);
    const bool checked = IsChecked(item);
    if (checked) {
        folders.append(path);
        visited.insert(QFileInfo(path).canonicalFilePath());
    }
    for (int i = 0; i < item->childCount(); ++i) {
        QCoreApplication::processEvents();
        if (cancelled)
            return false;
        if (!Collect(item->child(i), folders, visited, cancelled))
            return false;
    }
    if (checked && item->childCount() == 0 && !cancelled && !IsLinkIntoAncestor(path))
        return CollectDisk(path, 0, folders, visited, cancelled);
    return !cancelled;
}

bool CCheckShellFolderCtrl::CollectDisk(const QString& path, int depth, QStringList& folders,
                                        QSet<QString>& visited, const bool& cancelled)
{
    if (depth >= kMaxDiskDepth)
        return true;
    const QFileInfoList entries = QDir(path).entryInfoList(kFolders, QDir::Name);
    for (const QFileInfo& entry : entries) {
        QCoreApplication::processEvents();
        if (cancelled)
            return false;
        const QString full = entry.filePath();
        if (entry.isSymLink() && IsLinkIntoAncestor(full))
            continue;
        const QString canonical = entry.canonicalFilePath();
        if (canonical.isEmpty() || visited.contains(canonical))
            continue;
        visited.insert(canonical);
        folders.append(full);
        if (!CollectDisk(full, depth + 1, folders, visited, cancelled))
            return false;
    }
    return true;
}
