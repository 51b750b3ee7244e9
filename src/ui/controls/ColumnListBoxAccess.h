#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

namespace sorvanel::ui {

/// The accessibility factory for `ColumnListBox`: a list with one item per line, whose name is
/// the line's cells joined by commas and whose children are the cells. Null for any other
/// object.
QAccessibleInterface* columnListBoxAccessible(const QString& className, QObject* object);

} // namespace sorvanel::ui
