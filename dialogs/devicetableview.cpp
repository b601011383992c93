#include "devicetableview.h"

#include "qtcompat.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace {

// Device texts come from anyone on the LAN: a tab or a line break of theirs
// must not shift the columns, nor a leading "=" become a spreadsheet formula.
QString cellText(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    return text;
}

} // namespace

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
    // The corner button selects every row; it shows no text.
    if (auto *corner = findChild<QAbstractButton *>())
        corner->setAccessibleName(tr("Select all devices"));
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

QString DeviceTableView::selectedRowsText() const
{
    const QHeaderView *header = horizontalHeader();
    QVector<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            columns << column;
    }
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex &a, const QModelIndex &b) {
        return verticalHeader()->visualIndex(a.row()) < verticalHeader()->visualIndex(b.row());
    });

    QStringList lines;
    QStringList cells;
    for (const int column : qAsConst(columns))
        cells << cellText(model()->headerData(column, Qt::Horizontal).toString());
    lines << cells.join(QLatin1Char('\t'));
    for (const QModelIndex &row : qAsConst(rows)) {
        cells.clear();
        for (const int column : qAsConst(columns))
            cells << cellText(row.siblingAtColumn(column).data().toString());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void DeviceTableView::contextMenuEvent(QContextMenuEvent *event)
{
    emit popup(event);
}
