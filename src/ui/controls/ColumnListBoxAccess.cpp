#include "ui/controls/ColumnListBoxAccess.h"

#include "ui/controls/ColumnListBox.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <map>
#include <vector>

namespace sorvanel::ui {

namespace {

/// Whether `id` still names an interface (it is gone once the cache dropped it).
QAccessibleInterface* interfaceOf(QAccessible::Id id)
{
    return id ? QAccessible::accessibleInterface(id) : nullptr;
}

/// One cut part of a line.
class CellAccess : public QAccessibleInterface
{
public:
    CellAccess(ColumnListBox* list, int line, int column)
        : m_list(list)
        , m_line(line)
        , m_column(column)
    {
    }

    bool isValid() const override { return cell().has_value(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        std::optional<ColumnListBox::Cell> part = cell();
        return t == QAccessible::Name && part ? part->text.trimmed() : QString();
    }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override
    {
        std::optional<ColumnListBox::Cell> part = cell();
        if (!part || !m_list->isLineShown(m_line))
            return {};
        const QRect item = m_list->itemRect(m_line);
        const QRect place(part->left, item.y(), part->right - part->left, item.height());
        return QRect(m_list->viewport()->mapToGlobal(place.topLeft()), place.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.invisible = state.offscreen = !m_list || !m_list->isLineShown(m_line);
        return state;
    }

private:
    std::optional<ColumnListBox::Cell> cell() const
    {
        if (!m_list)
            return std::nullopt;
        std::optional<std::vector<ColumnListBox::Cell>> cells =
            m_list->cellsOf(m_line, m_list->itemRect(m_line));
        if (!cells || m_column >= static_cast<int>(cells->size()))
            return std::nullopt;
        return (*cells)[static_cast<std::size_t>(m_column)];
    }

    QPointer<ColumnListBox> m_list;
    int m_line;
    int m_column;
};

/// One line of the list.
class LineAccess : public QAccessibleInterface
{
public:
    LineAccess(ColumnListBox* list, int line)
        : m_list(list)
        , m_line(line)
    {
    }

    ~LineAccess() override
    {
        for (QAccessible::Id id : m_cells)
            if (interfaceOf(id))
                QAccessible::deleteAccessibleInterface(id);
    }

    int line() const { return m_line; }

    bool isValid() const override { return m_list && m_line < m_list->getCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (child(i)->rect().contains(x, y))
                return child(i);
        return nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_list.data());
    }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (m_cells.size() <= static_cast<std::size_t>(index))
            m_cells.resize(static_cast<std::size_t>(index) + 1, 0);
        QAccessible::Id& id = m_cells[static_cast<std::size_t>(index)];
        if (!interfaceOf(id))
            id = QAccessible::registerAccessibleInterface(
                new CellAccess(m_list.data(), m_line, index));
        return QAccessible::accessibleInterface(id);
    }
    int childCount() const override
    {
        std::optional<std::vector<ColumnListBox::Cell>> cells = cellsNow();
        return cells ? static_cast<int>(cells->size()) : 0;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (std::size_t i = 0; i < m_cells.size(); ++i)
            if (interfaceOf(m_cells[i]) == child)
                return static_cast<int>(i);
        return -1;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return {};
        QStringList parts;
        if (std::optional<std::vector<ColumnListBox::Cell>> cells = cellsNow())
            for (const ColumnListBox::Cell& cell : *cells)
                parts << cell.text.trimmed();
        return parts.join(QStringLiteral(", "));
    }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override
    {
        if (!m_list || !m_list->isLineShown(m_line))
            return {};
        const QRect item = m_list->itemRect(m_line);
        return QRect(m_list->viewport()->mapToGlobal(item.topLeft()), item.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.focusable = true;
        state.focused = m_list && m_list->hasFocus() && m_list->currentLine() == m_line;
        state.invisible = state.offscreen = !m_list || !m_list->isLineShown(m_line);
        return state;
    }

private:
    std::optional<std::vector<ColumnListBox::Cell>> cellsNow() const
    {
        if (!m_list)
            return std::nullopt;
        return m_list->cellsOf(m_line, m_list->itemRect(m_line));
    }

    QPointer<ColumnListBox> m_list;
    int m_line;
    mutable std::vector<QAccessible::Id> m_cells;
};

QAccessibleInterface* CellAccess::parent() const
{
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m_list.data());
    return list ? list->child(m_line) : nullptr;
}

/// The list: its children are its lines, not its scroll bars.
class ListAccess : public QAccessibleWidget
{
public:
    explicit ListAccess(ColumnListBox* list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }

    ~ListAccess() override
    {
        for (const auto& [line, id] : m_lines)
            if (interfaceOf(id))
                QAccessible::deleteAccessibleInterface(id);
    }

    ColumnListBox* list() const { return static_cast<ColumnListBox*>(widget()); }

    int childCount() const override { return list()->getCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        // Made on demand and kept: a log may hold thousands of lines.
        QAccessible::Id& id = m_lines[index];
        if (!interfaceOf(id))
            id = QAccessible::registerAccessibleInterface(new LineAccess(list(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* item = dynamic_cast<const LineAccess*>(child);
        if (!item)
            return -1;
        const int line = item->line();
        auto found = m_lines.find(line);
        return found != m_lines.end() && interfaceOf(found->second) == child ? line : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint inside = list()->viewport()->mapFromGlobal(QPoint(x, y));
        return list()->viewport()->rect().contains(inside) ? child(list()->lineAt(inside))
                                                           : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return list()->hasFocus() ? child(list()->currentLine()) : nullptr;
    }

private:
    mutable std::map<int, QAccessible::Id> m_lines;
};

} // namespace

QAccessibleInterface* columnListBoxAccessible(const QString&, QObject* object)
{
    if (auto* list = qobject_cast<ColumnListBox*>(object))
        return new ListAccess(list);
    return nullptr;
}

} // namespace sorvanel::ui
