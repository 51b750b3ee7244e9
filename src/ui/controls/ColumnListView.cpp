#include "ui/controls/ColumnListView.h"

#include "platform/qt/MessageBoxes.h"
#include "settings/Texts.h"
#include "ui/controls/ListTextLayout.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <new>

namespace sorvanel::ui {

namespace {

QColor systemColour(const QPalette& palette, QPalette::ColorRole role)
{
    return palette.color(QPalette::Active, role);
}

/// Rows as tall as a line of the list's font with a little air, the same for every row.
class RowHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {0, option.fontMetrics.height() + 3};
    }
};

} // namespace

/// The list's rows and columns. Rows keep only their item data; their texts come from the
/// list's provider whenever someone asks.
class ColumnListModel : public QAbstractTableModel
{
public:
    explicit ColumnListModel(ColumnListView* view)
        : QAbstractTableModel(view)
        , m_view(view)
    {
    }

    struct Column
    {
        QString heading;
        Qt::Alignment format;
    };

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }

    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(columns.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole) {
            std::vector<QString> texts = m_view->rowTexts(index.row());
            auto column = static_cast<std::size_t>(index.column());
            return column < texts.size() ? texts[column] : QString();
        }
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(alignmentOf(index.column()));
        if (role == Qt::AccessibleDescriptionRole && m_view->m_describer)
            return m_view->m_describer(index.row());
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole)
            return columns[static_cast<std::size_t>(section)].heading;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(alignmentOf(section));
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                               : Qt::NoItemFlags;
    }

    Qt::Alignment alignmentOf(int column) const
    {
        return columns[static_cast<std::size_t>(column)].format | Qt::AlignVCenter;
    }

    void insertColumnAt(int column, Column value)
    {
        beginInsertColumns({}, column, column);
        columns.insert(columns.begin() + column, std::move(value));
        endInsertColumns();
    }

    void removeColumnAt(int column)
    {
        beginRemoveColumns({}, column, column);
        columns.erase(columns.begin() + column);
        endRemoveColumns();
    }

    void setHeading(int column, const QString& heading)
    {
        columns[static_cast<std::size_t>(column)].heading = heading;
        emit headerDataChanged(Qt::Horizontal, column, column);
    }

    void insertRowAt(int row, quintptr itemData)
    {
        beginInsertRows({}, row, row);
        rows.insert(rows.begin() + row, itemData);
        endInsertRows();
    }

    void clearRows()
    {
        beginResetModel();
        rows.clear();
        endResetModel();
    }

    std::vector<quintptr> rows;
    std::vector<Column> columns;

private:
    ColumnListView* m_view;
};

ColumnListView::ColumnListView(QWidget* parent)
    : QTreeView(parent)
    , m_model(new ColumnListModel(this))
{
    setModel(m_model);
    setItemDelegate(new RowHeightDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setHighlightSections(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &ColumnListView::itemChanged);
    connect(
        selectionModel(), &QItemSelectionModel::currentChanged, this, &ColumnListView::itemChanged);
}

ColumnListView::~ColumnListView() = default;

bool ColumnListView::Configure(int columnCount, RowTextProvider textProvider, void* providerData,
    int textMargin, bool verticalLines, bool horizontalLines)
{
    ClearColumns();
    m_textProvider = std::move(textProvider);
    m_providerData = providerData;
    m_columnCount = std::max(columnCount, 0);
    m_textMargin = textMargin;
    m_verticalLines = verticalLines;
    m_horizontalLines = horizontalLines;
    if (m_columnCount == 0)
        return true;
    try {
        m_columnTexts =
            std::make_unique<std::vector<QString>>(static_cast<std::size_t>(m_columnCount));
    } catch (const std::bad_alloc&) {
        m_columnTexts.reset();
        ShowErrorBox(nullptr, Texts::NotEnoughFreeMemory);
        return false;
    }
    return true;
}

void ColumnListView::ClearColumns()
{
    while (getColumnCount() > 0)
        deleteColumn(0);
    m_columnTexts.reset();
    m_textProvider = nullptr;
    m_providerData = nullptr;
    m_columnCount = 0;
    m_textMargin = 0;
    m_verticalLines = false;
    m_horizontalLines = false;
}

int ColumnListView::insertColumn(
    int column, const QString& heading, Qt::Alignment format, int width)
{
    column = std::clamp(column, 0, getColumnCount());
    m_model->insertColumnAt(column, {heading, format & Qt::AlignHorizontal_Mask});
    header()->resizeSection(column, width);
    return column;
}

bool ColumnListView::deleteColumn(int column)
{
    if (column < 0 || column >= getColumnCount())
        return false;
    m_model->removeColumnAt(column);
    return true;
}

int ColumnListView::getColumnCount() const
{
    return m_model->columnCount();
}

void ColumnListView::setColumnHeading(int column, const QString& heading)
{
    if (column >= 0 && column < getColumnCount())
        m_model->setHeading(column, heading);
}

int ColumnListView::insertItem(int row, quintptr itemData)
{
    if (row < 0 || row > getItemCount())
        row = getItemCount();
    m_model->insertRowAt(row, itemData);
    return row;
}

void ColumnListView::deleteAllItems()
{
    m_model->clearRows();
}

int ColumnListView::getItemCount() const
{
    return m_model->rowCount();
}

quintptr ColumnListView::getItemData(int row) const
{
    return row >= 0 && row < getItemCount() ? m_model->rows[static_cast<std::size_t>(row)] : 0;
}

namespace {

/// The selected rows as ranges of row numbers, told by their first column: the selection
/// always takes whole rows. The selection model keeps its ranges apart, so no row is in two.
template <typename Visit> void forEachSelectedRange(const QItemSelectionModel& model, Visit visit)
{
    for (const QItemSelectionRange& range : model.selection())
        if (range.isValid() && range.left() == 0)
            visit(range.top(), range.bottom());
}

} // namespace

int ColumnListView::GetSelectedRows(std::span<int> rows) const
{
    std::vector<std::pair<int, int>> ranges;
    forEachSelectedRange(
        *selectionModel(), [&ranges](int top, int bottom) { ranges.emplace_back(top, bottom); });
    std::sort(ranges.begin(), ranges.end());
    std::size_t written = 0;
    for (auto [top, bottom] : ranges)
        for (int row = top; row <= bottom && written < rows.size(); ++row)
            rows[written++] = row;
    return static_cast<int>(written);
}

int ColumnListView::getSelectedCount() const
{
    // Counted from the ranges: a list of every selected row costs as much as the rows, and
    // the count is asked after each change of the selection.
    int count = 0;
    forEachSelectedRange(
        *selectionModel(), [&count](int top, int bottom) { count += bottom - top + 1; });
    return count;
}

void ColumnListView::SelectAllRows()
{
    if (getItemCount() == 0)
        return;
    QItemSelection all(m_model->index(0, 0), m_model->index(getItemCount() - 1, 0));
    selectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void ColumnListView::DeselectAllRows()
{
    if (isRowSelected(focusedRow()))
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    selectionModel()->clearSelection();
}

bool ColumnListView::DeselectRow(int row)
{
    if (row < 0 || row >= getItemCount())
        return false;
    if (focusedRow() == row)
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        m_model->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
}

void ColumnListView::deselectRows(std::span<const std::size_t> rows)
{
    std::vector<std::size_t> sorted(rows.begin(), rows.end());
    std::sort(sorted.begin(), sorted.end());
    const auto count = static_cast<std::size_t>(getItemCount());
    const int focused = focusedRow();
    QItemSelection ranges;
    bool focusLeaves = false;
    for (std::size_t i = 0; i < sorted.size() && sorted[i] < count;) {
        std::size_t last = i;
        while (last + 1 < sorted.size() && sorted[last + 1] < count
            && sorted[last + 1] <= sorted[last] + 1)
            ++last;
        const auto top = static_cast<int>(sorted[i]);
        const auto bottom = static_cast<int>(sorted[last]);
        focusLeaves = focusLeaves || (focused >= top && focused <= bottom);
        ranges.append(QItemSelectionRange(m_model->index(top, 0), m_model->index(bottom, 0)));
        i = last + 1;
    }
    if (ranges.isEmpty())
        return;
    if (focusLeaves)
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    selectionModel()->select(ranges, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

bool ColumnListView::isRowSelected(int row) const
{
    return row >= 0 && row < getItemCount() && selectionModel()->isRowSelected(row, {});
}

int ColumnListView::focusedRow() const
{
    QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int ColumnListView::getTopIndex() const
{
    return getItemCount() > 0 ? std::clamp(verticalScrollBar()->value(), 0, getItemCount() - 1) : 0;
}

int ColumnListView::getCountPerPage() const
{
    int height = getItemCount() > 0 ? rowHeight(m_model->index(0, 0)) : fontMetrics().height() + 3;
    return height > 0 ? viewport()->height() / height : 0;
}

std::vector<QString> ColumnListView::rowTexts(int row) const
{
    std::vector<QString> texts(static_cast<std::size_t>(m_columnCount));
    fillTexts(row, texts);
    return texts;
}

bool ColumnListView::fillTexts(int row, std::span<QString> texts) const
{
    for (QString& text : texts)
        text.clear();
    if (!m_textProvider || texts.empty())
        return false;
    m_textProvider(row, getItemData(row), static_cast<int>(texts.size()), texts, m_providerData);
    return true;
}

void ColumnListView::DrawColumnSeparator(QPainter& dc, const QRect& cell, bool selected) const
{
    QColor colour = selected ? systemColour(palette(), QPalette::HighlightedText) : Qt::black;
    dc.fillRect(QRect(cell.x() + cell.width() - 1, cell.y(), 1, cell.height()), colour);
}

std::optional<QString> ColumnListView::FitText(QPainter& dc, const QString& text, int width) const
{
    return fitCell(dc, text, width, false);
}

std::optional<QString> ColumnListView::fitCell(
    QPainter& dc, const QString& text, int width, bool path) const
{
    // The box must not open inside a paint; it follows as soon as the paint is over.
    auto report = [this](std::string_view message) {
        QTimer::singleShot(
            0, this, [this, message] { ShowErrorBox(const_cast<ColumnListView*>(this), message); });
    };
    try {
        QFontMetrics metrics(dc.font());
        auto measure = [&metrics](QStringView piece) {
            return metrics.horizontalAdvance(piece.toString());
        };
        return path ? fitPathTo(text, width, measure) : fitTextTo(text, width, measure);
    } catch (const std::bad_alloc&) {
        report(Texts::NotEnoughFreeMemory);
    } catch (...) {
        report(Texts::UnknownException);
    }
    return std::nullopt;
}

void ColumnListView::drawRow(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int row = index.row();
    const bool focused = hasFocus();
    const bool selected = isRowSelected(row);
    const QPalette& colours = palette();
    const QHeaderView* heading = header();
    const QRect rowBounds(
        -heading->offset(), option.rect.y(), heading->length(), option.rect.height());

    painter->save();
    QColor textColour = systemColour(colours, QPalette::Text);
    if (selected) {
        textColour = systemColour(colours, QPalette::HighlightedText);
        painter->fillRect(rowBounds,
            focused ? systemColour(colours, QPalette::Highlight) : grayTextFill(colours));
    } else {
        painter->fillRect(rowBounds, systemColour(colours, QPalette::Base));
    }

    if (m_columnTexts)
        fillTexts(row, *m_columnTexts);

    int previousRight = 0;
    for (int i = 0; i < heading->count(); ++i) {
        const int left = i == 0 ? heading->sectionViewportPosition(0) : previousRight;
        const QRect cell(left, rowBounds.y(), heading->sectionSize(i), rowBounds.height());
        previousRight = cell.x() + cell.width();
        const QRect textRect =
            cell.adjusted(m_textMargin, 0, -m_textMargin, m_horizontalLines ? -2 : 0);

        if (m_columnTexts && i < m_columnCount) {
            const QString text = drawableText((*m_columnTexts)[static_cast<std::size_t>(i)]);
            if (!text.isEmpty()) {
                std::optional<QString> fitted = i == m_pathColumn
                    ? fitCell(*painter, text, textRect.width(), true)
                    : FitText(*painter, text, textRect.width());
                if (fitted) {
                    painter->setPen(textColour);
                    painter->drawText(textRect,
                        static_cast<int>(m_model->alignmentOf(i)) | Qt::TextSingleLine
                            | Qt::TextDontClip,
                        *fitted);
                }
            }
        }
        if (m_verticalLines && m_textMargin != 0)
            DrawColumnSeparator(*painter, cell, selected);
    }

    if (m_horizontalLines)
        painter->fillRect(
            QRect(rowBounds.x(), rowBounds.y() + rowBounds.height() - 1, rowBounds.width(), 1),
            Qt::black);

    if (focused && focusedRow() == row && rowBounds.width() > 0) {
        // A dotted frame that inverts what lies under it, visible on any fill.
        QPen dots(Qt::white, 1);
        dots.setDashPattern({1, 1});
        painter->setPen(dots);
        painter->setBrush(Qt::NoBrush);
        painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter->drawRect(rowBounds.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

bool ColumnListView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTreeView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = toolTipAt(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(indexAt(help->pos())));
    return true;
}

QString ColumnListView::toolTipAt(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return {};
    if (rowToolTip)
        if (QString text = rowToolTip(index.row()); !text.isEmpty())
            return text;
    if (index.column() >= m_columnCount)
        return {};
    QString whole = drawableText(rowTexts(index.row())[static_cast<std::size_t>(index.column())]);
    const int width = header()->sectionSize(index.column()) - 2 * m_textMargin;
    return viewport()->fontMetrics().horizontalAdvance(whole) <= width ? QString() : whole;
}

void ColumnListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (!hasFocus() || focusedRow() >= 0)
        return;
    // Without a row to carry the focus frame, the list itself carries it.
    QPainter painter(viewport());
    QPen dots(Qt::white, 1);
    dots.setDashPattern({1, 1});
    painter.setPen(dots);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
}

void ColumnListView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::WhatsThis) && showFocusedRowToolTip()) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

bool ColumnListView::showFocusedRowToolTip()
{
    const int row = focusedRow();
    if (row < 0)
        return false;
    const QModelIndex first = m_model->index(row, 0);
    scrollTo(first);
    // Asked like the pointer asks, so that whoever answers the pointer answers the key.
    const QPoint at = visualRect(first).center();
    QHelpEvent help(QEvent::ToolTip, at, viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport(), &help);
    return true;
}

void ColumnListView::focusInEvent(QFocusEvent* event)
{
    if (getItemCount() > 0 && focusedRow() < 0)
        selectionModel()->setCurrentIndex(
            m_model->index(getTopIndex(), 0), QItemSelectionModel::NoUpdate);
    redrawMarkedRows();
    QTreeView::focusInEvent(event);
}

void ColumnListView::focusOutEvent(QFocusEvent* event)
{
    redrawMarkedRows();
    QTreeView::focusOutEvent(event);
}

void ColumnListView::redrawMarkedRows()
{
    // The fill of a selected row and the focus frame depend on the focus. The partly visible
    // row under the page is included, or it would keep its old colour.
    const int top = getTopIndex();
    const int end = std::min(top + getCountPerPage() + 1, getItemCount());
    for (int row = top; row < end; ++row) {
        if (isRowSelected(row) || focusedRow() == row) {
            QRect rect = visualRect(m_model->index(row, 0));
            viewport()->update(0, rect.y(), viewport()->width(), rect.height());
        }
    }
}

bool ColumnListView::clickReachesRows(int y) const
{
    const int last = lastFullyVisibleRow(getTopIndex(), getCountPerPage(), getItemCount());
    if (last < 0)
        return false;
    const QRect bounds = visualRect(m_model->index(last, 0));
    if (!bounds.isValid())
        return false;
    // The row's bottom edge counts as exclusive, so the pixel row just under it still belongs.
    return y <= bounds.y() + bounds.height();
}

bool ColumnListView::takesOnlyFocus(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return false;
    if (clickReachesRows(event->position().toPoint().y()))
        return false;
    setFocus(Qt::MouseFocusReason);
    m_swallowingClick = true;
    event->accept();
    return true;
}

void ColumnListView::mousePressEvent(QMouseEvent* event)
{
    if (!takesOnlyFocus(event))
        QTreeView::mousePressEvent(event);
}

void ColumnListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!takesOnlyFocus(event))
        QTreeView::mouseDoubleClickEvent(event);
}

void ColumnListView::mouseMoveEvent(QMouseEvent* event)
{
    // A swallowed press must not turn into a drag that selects rows.
    if (m_swallowingClick)
        event->accept();
    else
        QTreeView::mouseMoveEvent(event);
}

void ColumnListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_swallowingClick) {
        if (event->buttons() == Qt::NoButton)
            m_swallowingClick = false;
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

} // namespace sorvanel::ui
