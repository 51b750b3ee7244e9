#pragma once

#include "ui/shell/IdList.h"
#include "ui/shell/ShellNamespace.h"

#include <QTreeWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sorvanel {
class Notifier;
}

namespace sorvanel::ui {

/// What the tree keeps for each of its items.
struct ShellNode
{
    ShellNode();
    ~ShellNode();
    ShellNode(const ShellNode&) = delete;
    ShellNode& operator=(const ShellNode&) = delete;

    std::shared_ptr<ShellFolder> parentFolder; ///< the folder that contains the item
    IdList relativeId; ///< one level, relative to `parentFolder`
    IdList absoluteId; ///< from the desktop to the item

    /// Nodes alive in this process, so that tests can see every node released.
    static int liveCount();
};

/// A tree item that owns its node; deleting the item releases the node.
class ShellTreeItem : public QTreeWidgetItem
{
public:
    ShellTreeItem();
    ~ShellTreeItem() override;

    std::unique_ptr<ShellNode> node;
    bool expandedOnce = false; ///< its children have been read
};

/// The folder tree of the folder chooser: the namespace's folders, read when an item is first
/// expanded, with a walk down to a given path and the namespace's context menu per item.
/// The namespace must outlive the tree.
class ShellFolderTree : public QTreeWidget
{
    Q_OBJECT

public:
    /// Data roles under which each item keeps the positions of its two images in the image
    /// list (-1: no image).
    enum ItemRole { ImageRole = Qt::UserRole + 1, SelectedImageRole };

    static constexpr int maxImages = 100;

    ShellFolderTree(ShellNamespace& shell, Notifier& notifier, QWidget* parent = nullptr);
    ~ShellFolderTree() override;

    /// Builds the top level (the desktop's sub-folders), selects its first item and walks to
    /// `initialPath` when that is not empty.
    void Fill(std::string initialPath);

    /// Expands the tree down to `path` and selects it. A path of a drive letter and a colon
    /// names that drive's root. Items the walk opened are closed again when it fails.
    bool SelectPath(const std::string& path);

    /// The file-system path of the selected item: true with an empty text for a virtual
    /// folder, false when nothing usable is selected.
    bool GetSelectedPath(std::string& text);

    /// Reads the item's children the first time it opens.
    void OnItemExpanding(QTreeWidgetItem* item);
    /// Moves a selection hidden by the closing item to that item.
    void onItemCollapsed(QTreeWidgetItem* item);
    /// Releases the item's node.
    static void OnDeleteItem(ShellTreeItem& item);
    /// A right click at `globalPos`: selects what lies there and shows the context menu when
    /// the click hit an item's icon or label.
    void OnRightClick(QPoint globalPos);

    /// Where a point of the viewport lies.
    enum class HitPart { Nowhere, Icon, Label, RowElsewhere };
    HitPart hitTest(QPoint viewportPos, QTreeWidgetItem** item = nullptr) const;

    /// Called on a double click on an item's icon or label before the tree's own action,
    /// which runs unless it answers true.
    void setDoubleClickHandler(std::function<bool()> handler)
    {
        m_doubleClickHandler = std::move(handler);
    }

    /// Images held so far (at most `maxImages`).
    int imageCount() const { return static_cast<int>(m_imageList.size()); }

    static ShellTreeItem* shellItem(QTreeWidgetItem* item);
    /// The item that is selected, or null.
    ShellTreeItem* selectedShellItem() const;

protected:
    void InsertChildren(const std::shared_ptr<ShellFolder>& folder, const std::uint8_t* parentId,
        QTreeWidgetItem* parentItem);
    bool SelectPathUnder(QTreeWidgetItem* item, const std::string& path);
    static bool GetDisplayName(
        ShellFolder& folder, const std::uint8_t* relativeId, ShellNameKind kind, std::string& text);
    int AddIcon(const QIcon& icon, int systemIndex);
    static int CompareNodes(const ShellNode& a, const ShellNode& b);
    void ShowContextMenu(
        QWidget* owner, ShellFolder& folder, const std::uint8_t* relativeId, QPoint screenPos);

    /// Shows `menu` at `screenPos` and returns the chosen command, 0 for none.
    virtual int trackPopupMenu(const std::vector<ShellMenuEntry>& menu, QPoint screenPos);

    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    /// Makes the column as wide as the widest item shown, and at least as wide as the view.
    void fitColumn();
    void sortChildren(QTreeWidgetItem* parentItem);
    void expandItem(QTreeWidgetItem* item);
    void selectItem(QTreeWidgetItem* item);
    /// True when the child is a folder that can still be bound.
    static bool canBind(const ShellNode& node);

    ShellNamespace& m_shell;
    Notifier& m_notifier;
    std::vector<QPixmap> m_imageList; ///< 16 × 16 images
    /// Entry i: the namespace's icon index of image i, so that items sharing an icon share
    /// an image.
    std::array<int, maxImages> m_iconMap{};
    std::function<bool()> m_doubleClickHandler;
};

} // namespace sorvanel::ui
