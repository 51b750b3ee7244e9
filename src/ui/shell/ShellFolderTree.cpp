#include "ui/shell/ShellFolderTree.h"

#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"
#include "ui/shell/PathMatch.h"

#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>

namespace sorvanel::ui {

namespace {

std::atomic<int> liveNodes{0};

/// Network items' parsing names start with two separators.
constexpr std::string_view networkPrefix = "//";

bool failed(ShellResult result)
{
    return (result & 0x80000000u) != 0;
}

/// A message with the result code in place of its "%lx", in lower-case hexadecimal.
std::string withResult(std::string_view format, ShellResult result)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(result));
    std::string text(format);
    std::size_t at = text.find("%lx");
    if (at != std::string::npos)
        text.replace(at, 3, hex);
    return text;
}

/// Keeps the widget from repainting until the guard ends.
class UpdatesLock
{
public:
    explicit UpdatesLock(QWidget* widget)
        : m_widget(widget)
        , m_wasEnabled(widget->updatesEnabled())
    {
        m_widget->setUpdatesEnabled(false);
    }
    ~UpdatesLock() { m_widget->setUpdatesEnabled(m_wasEnabled); }
    UpdatesLock(const UpdatesLock&) = delete;
    UpdatesLock& operator=(const UpdatesLock&) = delete;

private:
    QWidget* m_widget;
    bool m_wasEnabled;
};

} // namespace

ShellNode::ShellNode()
{
    ++liveNodes;
}

ShellNode::~ShellNode()
{
    --liveNodes;
}

int ShellNode::liveCount()
{
    return liveNodes;
}

ShellTreeItem::ShellTreeItem()
    : QTreeWidgetItem(UserType)
{
}

ShellTreeItem::~ShellTreeItem()
{
    ShellFolderTree::OnDeleteItem(*this);
}

ShellFolderTree::ShellFolderTree(ShellNamespace& shell, Notifier& notifier, QWidget* parent)
    : QTreeWidget(parent)
    , m_shell(shell)
    , m_notifier(notifier)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setAnimated(false);
    // Right clicks are ours alone: they select and open the namespace's menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Long or deep names are shown whole: the column takes the widest item and the view
    // scrolls sideways.
    header()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(this, &QTreeWidget::itemExpanded, this, &ShellFolderTree::OnItemExpanding);
    connect(this, &QTreeWidget::itemExpanded, this, &ShellFolderTree::fitColumn);
    connect(this, &QTreeWidget::itemCollapsed, this, &ShellFolderTree::onItemCollapsed);
}

ShellFolderTree::~ShellFolderTree()
{
    // Release the nodes while the tree is still whole and nobody listens any more.
    blockSignals(true);
    clear();
}

ShellTreeItem* ShellFolderTree::shellItem(QTreeWidgetItem* item)
{
    return item && item->type() == QTreeWidgetItem::UserType ? static_cast<ShellTreeItem*>(item)
                                                             : nullptr;
}

ShellTreeItem* ShellFolderTree::selectedShellItem() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : shellItem(selected.first());
}

void ShellFolderTree::Fill(std::string initialPath)
{
    clear();
    if (std::shared_ptr<ShellFolder> desktop = m_shell.desktop())
        InsertChildren(desktop, nullptr, invisibleRootItem());
    sortChildren(invisibleRootItem());
    if (topLevelItemCount() > 0)
        selectItem(topLevelItem(0));
    if (!initialPath.empty())
        SelectPath(initialPath);
    fitColumn();
}

void ShellFolderTree::fitColumn()
{
    int width = std::max(sizeHintForColumn(0), viewport()->width());
    if (columnWidth(0) != width)
        setColumnWidth(0, width);
}

void ShellFolderTree::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    fitColumn();
}

void ShellFolderTree::onItemCollapsed(QTreeWidgetItem* item)
{
    // As a tree control does: a selection that disappears under a closing item moves to that
    // item, and the selection rules run for it.
    ShellTreeItem* selected = selectedShellItem();
    for (QTreeWidgetItem* above = selected ? selected->parent() : nullptr; above;
         above = above->parent()) {
        if (above == item) {
            selectItem(item);
            break;
        }
    }
    fitColumn();
}

void ShellFolderTree::InsertChildren(const std::shared_ptr<ShellFolder>& folder,
    const std::uint8_t* parentId, QTreeWidgetItem* parentItem)
{
    std::optional<std::vector<IdList>> ids = folder->enumFolders();
    if (!ids)
        return;

    std::vector<std::unique_ptr<ShellTreeItem>> made;
    for (const IdList& id : *ids) {
        unsigned attributes = folder->attributesOf(id.get(), AttrHasSubfolder | AttrFolder);
        if (!(attributes & AttrFolder)
            || !(attributes & (AttrHasSubfolder | AttrFileSystem | AttrFileSystemAncestor)))
            continue;

        std::unique_ptr<ShellNode> node;
        try {
            node = std::make_unique<ShellNode>();
        } catch (const std::bad_alloc&) {
            break;
        }
        std::string name;
        if (!GetDisplayName(*folder, id.get(), ShellNameKind::Normal, name))
            break;
        node->relativeId = CopyFirstItemId(id.get());
        node->parentFolder = folder;
        node->absoluteId = ConcatIdLists(parentId, id.get());

        ShellIcon normal = m_shell.iconOf(node->absoluteId.get(), false);
        ShellIcon open = m_shell.iconOf(node->absoluteId.get(), true);
        int image = AddIcon(normal.icon, normal.systemIndex);
        int selectedImage = AddIcon(open.icon, open.systemIndex);

        auto item = std::make_unique<ShellTreeItem>();
        item->setText(0, decodeStoredText(name));
        item->setData(0, ImageRole, image);
        item->setData(0, SelectedImageRole, selectedImage);
        QIcon icon;
        if (image >= 0)
            icon.addPixmap(m_imageList[static_cast<std::size_t>(image)], QIcon::Normal);
        if (selectedImage >= 0)
            icon.addPixmap(m_imageList[static_cast<std::size_t>(selectedImage)], QIcon::Selected);
        item->setIcon(0, icon);
        // An item that may have sub-folders shows its expand button before they are read.
        item->setChildIndicatorPolicy(attributes & AttrHasSubfolder
                ? QTreeWidgetItem::ShowIndicator
                : QTreeWidgetItem::DontShowIndicatorWhenChildless);
        item->node = std::move(node);
        made.push_back(std::move(item));
    }

    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(made.size()));
    for (std::unique_ptr<ShellTreeItem>& item : made)
        items.append(item.release());
    parentItem->addChildren(items);
}

int ShellFolderTree::AddIcon(const QIcon& icon, int systemIndex)
{
    if (icon.isNull())
        return -1;
    int count = imageCount();
    for (int i = 0; i < count; ++i) {
        if (m_iconMap[static_cast<std::size_t>(i)] == systemIndex)
            return i;
    }
    if (count >= maxImages)
        return -1;
    QPixmap image = icon.pixmap(QSize(16, 16));
    if (image.isNull())
        return -1;
    m_imageList.push_back(image);
    m_iconMap[static_cast<std::size_t>(count)] = systemIndex;
    return count;
}

int ShellFolderTree::CompareNodes(const ShellNode& a, const ShellNode& b)
{
    if (!a.parentFolder)
        return 0;
    std::optional<int> order = a.parentFolder->compareIds(a.relativeId.get(), b.relativeId.get());
    if (!order)
        return 0;
    return *order < 0 ? -1 : *order > 0 ? 1 : 0;
}

void ShellFolderTree::sortChildren(QTreeWidgetItem* parentItem)
{
    QList<QTreeWidgetItem*> children = parentItem->takeChildren();
    // A stable merge keeps going even when the namespace's order is inconsistent (a failed
    // comparison counts as equal).
    std::stable_sort(children.begin(), children.end(), [](QTreeWidgetItem* x, QTreeWidgetItem* y) {
        ShellTreeItem* a = shellItem(x);
        ShellTreeItem* b = shellItem(y);
        if (!a || !b || !a->node || !b->node)
            return false;
        return CompareNodes(*a->node, *b->node) < 0;
    });
    parentItem->addChildren(children);
}

void ShellFolderTree::OnItemExpanding(QTreeWidgetItem* item)
{
    ShellTreeItem* shell = shellItem(item);
    if (!shell || shell->expandedOnce)
        return;
    shell->expandedOnce = true;
    const ShellNode* node = shell->node.get();
    if (node && node->parentFolder && !node->relativeId.isNull()) {
        if (std::shared_ptr<ShellFolder> folder =
                node->parentFolder->bindToFolder(node->relativeId.get()))
            InsertChildren(folder, node->absoluteId.get(), shell);
        sortChildren(shell);
    }
    // Once read, the expand button says whether there are children.
    shell->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void ShellFolderTree::OnDeleteItem(ShellTreeItem& item)
{
    item.node.reset();
}

bool ShellFolderTree::canBind(const ShellNode& node)
{
    return node.parentFolder && !node.relativeId.isNull()
        && node.parentFolder->bindToFolder(node.relativeId.get()) != nullptr;
}

bool ShellFolderTree::GetSelectedPath(std::string& text)
{
    text.clear();
    ShellTreeItem* item = selectedShellItem();
    if (!item || !item->node)
        return false;
    const ShellNode& node = *item->node;
    if (!canBind(node))
        return false;
    if (!(node.parentFolder->attributesOf(node.relativeId.get(), AttrFileSystem) & AttrFileSystem))
        return true;
    std::optional<std::string> path = m_shell.pathFromIdList(node.absoluteId.get());
    if (!path)
        return false;
    text = std::move(*path);
    return true;
}

void ShellFolderTree::selectItem(QTreeWidgetItem* item)
{
    if (item) {
        setCurrentItem(item);
        item->setSelected(true);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

void ShellFolderTree::expandItem(QTreeWidgetItem* item)
{
    OnItemExpanding(item);
    item->setExpanded(true);
}

bool ShellFolderTree::SelectPath(const std::string& path)
{
    UpdatesLock lock(this);
    std::string target = path;
    if (target.size() == 2 && target[1] == ':')
        target += pathSeparator;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (SelectPathUnder(topLevelItem(i), target))
            return true;
    }
    return false;
}

bool ShellFolderTree::SelectPathUnder(QTreeWidgetItem* item, const std::string& path)
{
    ShellTreeItem* shell = shellItem(item);
    if (!shell)
        return false;
    bool wasExpanded = item->isExpanded();
    if (!shell->expandedOnce)
        expandItem(item);

    // Found under a child whose path is part of the target: the child is the target itself
    // or the walk goes on below it.
    auto descend = [&](QTreeWidgetItem* child, bool whole) {
        if (!whole)
            return SelectPathUnder(child, path);
        selectItem(child);
        expandItem(child);
        // Centred, so that the folder's own sub-folders show below it.
        scrollToItem(child, QAbstractItemView::PositionAtCenter);
        return true;
    };

    // Folder names differ only in case on case-sensitive file systems, so children matching
    // the target exactly go first; those matching only when case is ignored come after.
    std::vector<std::pair<QTreeWidgetItem*, bool>> caseOnly;
    bool found = false;
    for (int i = 0; i < item->childCount() && !found; ++i) {
        QTreeWidgetItem* child = item->child(i);
        ShellTreeItem* childShell = shellItem(child);
        if (!childShell || !childShell->node || !canBind(*childShell->node))
            continue;
        const ShellNode& node = *childShell->node;
        if (node.parentFolder->attributesOf(node.relativeId.get(), AttrFileSystem)
            & AttrFileSystem) {
            std::optional<std::string> childPath = m_shell.pathFromIdList(node.absoluteId.get());
            if (!childPath)
                continue;
            Match match = matchPrefix(path, *childPath);
            switch (match.kind) {
            case PrefixMatch::None:
                break;
            case PrefixMatch::Exact:
                found = descend(child, match.whole);
                break;
            case PrefixMatch::IgnoringCase:
                caseOnly.emplace_back(child, match.whole);
                break;
            }
        } else {
            std::string parsingName;
            if (!GetDisplayName(*node.parentFolder, node.relativeId.get(),
                    ShellNameKind::ForParsing, parsingName))
                continue;
            // Virtual folders are always searched, network resources only on the way to the
            // target.
            if (parsingName.compare(0, networkPrefix.size(), networkPrefix) != 0
                || matchPrefix(path, parsingName).kind != PrefixMatch::None)
                found = SelectPathUnder(child, path);
        }
    }
    for (std::size_t i = 0; i < caseOnly.size() && !found; ++i)
        found = descend(caseOnly[i].first, caseOnly[i].second);

    if (found)
        return true;
    if (item->isExpanded() != wasExpanded)
        item->setExpanded(false);
    return false;
}

bool ShellFolderTree::GetDisplayName(
    ShellFolder& folder, const std::uint8_t* relativeId, ShellNameKind kind, std::string& text)
{
    std::optional<std::string> name = folder.displayNameOf(relativeId, kind);
    if (!name)
        return false;
    text = std::move(*name);
    return true;
}

ShellFolderTree::HitPart ShellFolderTree::hitTest(QPoint viewportPos, QTreeWidgetItem** hit) const
{
    QTreeWidgetItem* item = itemAt(viewportPos);
    if (hit)
        *hit = item;
    if (!item)
        return HitPart::Nowhere;

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualItemRect(item);
    option.text = item->text(0);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.icon = item->icon(0);
    if (!option.icon.isNull())
        option.features |= QStyleOptionViewItem::HasDecoration;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    QStyle* itemStyle = style();
    QRect iconRect = itemStyle->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
    QRect textRect = itemStyle->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The text cell runs to the row's end; the label is only as wide as its text.
    int margin = itemStyle->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    int labelWidth =
        std::min(textRect.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin);
    QRect labelRect(textRect.left(), textRect.top(), labelWidth, textRect.height());

    if (!option.icon.isNull() && iconRect.contains(viewportPos))
        return HitPart::Icon;
    if (labelRect.contains(viewportPos))
        return HitPart::Label;
    return HitPart::RowElsewhere;
}

void ShellFolderTree::OnRightClick(QPoint globalPos)
{
    QTreeWidgetItem* item = nullptr;
    HitPart part = hitTest(viewport()->mapFromGlobal(globalPos), &item);
    selectItem(item);
    if (part != HitPart::Icon && part != HitPart::Label)
        return;
    ShellTreeItem* shell = shellItem(item);
    if (!shell || !shell->node || !shell->node->parentFolder)
        return;
    ShowContextMenu(window(), *shell->node->parentFolder, shell->node->relativeId.get(), globalPos);
}

void ShellFolderTree::ShowContextMenu(
    QWidget* owner, ShellFolder& folder, const std::uint8_t* relativeId, QPoint screenPos)
{
    Q_UNUSED(owner);
    std::unique_ptr<ShellContextMenu> menu;
    ShellResult result = folder.contextMenuOf(relativeId, menu);
    if (failed(result) || !menu) {
        if (!failed(result))
            result = shellFail;
        m_notifier.notify(withResult(Texts::GetUIObjectOfFailed, result));
        return;
    }
    std::vector<ShellMenuEntry> entries;
    if (failed(menu->queryContextMenu(entries, 1, 32767)))
        return;
    int command = trackPopupMenu(entries, screenPos);
    if (command == 0)
        return;
    result = menu->invokeCommand((command - 1) & 0xFFFF);
    if (failed(result)) {
        std::string text = withResult(Texts::InvokeCommandFailed, result);
        if (std::string reason = menu->failureReason(); !reason.empty())
            text += "\n" + reason;
        m_notifier.notify(text);
    }
}

int ShellFolderTree::trackPopupMenu(const std::vector<ShellMenuEntry>& menu, QPoint screenPos)
{
    QMenu popup(this);
    for (const ShellMenuEntry& entry : menu) {
        if (entry.command == 0)
            popup.addSeparator();
        else
            popup.addAction(QString::fromStdString(entry.text))->setData(entry.command);
    }
    if (popup.isEmpty())
        return 0;
    QAction* chosen = popup.exec(screenPos);
    return chosen ? chosen->data().toInt() : 0;
}

void ShellFolderTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only a double click on an item's icon or label means that item; elsewhere the selected
    // folder is not chosen.
    HitPart part = hitTest(event->position().toPoint());
    if (event->button() == Qt::LeftButton && (part == HitPart::Icon || part == HitPart::Label)
        && m_doubleClickHandler && m_doubleClickHandler()) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void ShellFolderTree::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton)
        OnRightClick(event->globalPosition().toPoint());
}

} // namespace sorvanel::ui
