#include "devicetableview.h"

#include "qtcompat.h"

#include <QHeaderView>

#include <algorithm>

DeviceTableView::DeviceTableView(QWidget *parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setDefaultSectionSize(120);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    setSortingEnabled(true);
}

int DeviceTableView::fitColumn(int column, int leastWidth, const QString &sample, bool withIcon)
{
    QStyleOptionViewItem option = QtCompat::viewItemOption(this);
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = sample;
    if (withIcon)
        option.features |= QStyleOptionViewItem::HasDecoration;
    const int cell
        = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width()
        + (showGrid() ? 1 : 0);
    const int width = std::max({ leastWidth, cell, horizontalHeader()->sectionSizeHint(column) });
    setColumnWidth(column, width);
    return width;
}

QSize DeviceTableView::sizeHint() const
{
    const int rows = 20;
    return QSize(QTableView::sizeHint().width(),
        horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize()
            + 2 * frameWidth());
}

QString DeviceTableView::currentRowText(int column) const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return QString();
    return current.sibling(current.row(), column).data(Qt::DisplayRole).toString();
}

void DeviceTableView::contextMenuEvent(QContextMenuEvent *event)
{
    emit popup(event);
}
