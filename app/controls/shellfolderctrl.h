// A tree of folders from a root folder down, filled one level at a time when
// a folder is first opened. Hidden folders are shown; a folder that is a
// symbolic link shows a link mark, and a link that leads back to one of its
// own ancestors shows no children, so the tree never opens into a loop.
//
// CCheckShellFolderCtrl adds check boxes: checking a folder checks its whole
// subtree, a checked folder is bold, and a folder with anything checked
// below it is bold too. GetCheckedFolders gathers the checked folders and,
// below checked folders that were never opened, every folder on disk.
#pragma once

#include <QIcon>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

class CShellFolderCtrl : public QTreeWidget {
    Q_OBJECT
public:
    // The data a folder item keeps.
    enum ItemRole {
        PathRole = Qt::UserRole + 1,   // QString: the folder's path
        KindRole,                      // int: 0 ordinary, 4 the root
        LinkRole,                      // bool: the folder is a symbolic link
    };
    enum Kind { kOrdinary = 0, kRoot = 4 };
    // The message that refreshes an item (wParam: the item).
    static constexpr unsigned kRefreshMessage = 1239;

    explicit CShellFolderCtrl(QWidget* parent = nullptr);

    // Rebuilds the tree: `root` filled and opened, then the path down to
    // `openPath` opened and its last folder selected.
    void InitTree(const QString& root = QStringLiteral("/"), const QString& openPath = QString());
    // Inserts the subfolders of `item` (sorted by name, case-insensitively)
    // and then calls OnChildrenFilled.
    void FillChildren(QTreeWidgetItem* item);
    // Inserts `path` as the last child of `parent` (a top-level item when
    // null); null when the path is not a folder.
    QTreeWidgetItem* InsertFolder(QTreeWidgetItem* parent, const QString& path);
    QString GetItemPath(const QTreeWidgetItem* item) const;
    // Opens the folders from the root down to `path` and selects the last;
    // false when the path is not below the root.
    bool SelectPath(const QString& path);
    // Drops and fills again the children of `item`, keeping it open when it
    // was.
    void Refresh(QTreeWidgetItem* item);

protected:
    // Called after `item` got its children.
    virtual void OnChildrenFilled(QTreeWidgetItem* item);
    // Called for every item when it is inserted.
    virtual void OnItemInserted(QTreeWidgetItem* item);
    bool event(QEvent* event) override;

private:
    void OnItemExpanded(QTreeWidgetItem* item);

    QIcon folderIcon_;
    QIcon linkIcon_;
};

class CCheckShellFolderCtrl : public CShellFolderCtrl {
    Q_OBJECT
public:
    explicit CCheckShellFolderCtrl(QWidget* parent = nullptr);

    bool IsChecked(const QTreeWidgetItem* item) const;
    bool IsBold(const QTreeWidgetItem* item) const;
    // Toggles `item` with its subtree and sets its ancestors' bold.
    void ToggleCheck(QTreeWidgetItem* item);
    // Where the item's check box is drawn, in viewport coordinates.
    QRect CheckBoxRect(const QTreeWidgetItem* item) const;

    // Empties `folders` and fills it with the checked folders, depth first,
    // and below every checked folder that has no children in the tree, all
    // its folders on disk. Pending events are handled between folders; when
    // `cancelled` becomes true the walk ends with what it gathered. A folder
    // on disk is gathered once, and a symbolic link that leads back above
    // itself is not followed. Returns 1.
    int GetCheckedFolders(QStringList& folders, const bool& cancelled);

protected:
    void OnChildrenFilled(QTreeWidgetItem* item) override;
    void OnItemInserted(QTreeWidgetItem* item) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void SetChecked(QTreeWidgetItem* item, bool checked);
    bool Collect(QTreeWidgetItem* item, QStringList& folders, QSet<QString>& visited,
                 const bool& cancelled);
    bool CollectDisk(const QString& path, int depth, QStringList& folders, QSet<QString>& visited,
                     const bool& cancelled);
};

// True when `path` is a symbolic link whose target is the folder holding it
// or one of that folder's ancestors: following it would lead into a loop.
bool IsLinkIntoAncestor(const QString& path);
