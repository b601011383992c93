#pragma once

#include <QStringList>

class QStandardItem;

namespace TestSupport {

// Everything a user or another part of the program can see of a device table
// cell, as text, so that two tables can be compared cell by cell.
QStringList describeCell(const QStandardItem *cell);

} // namespace TestSupport
