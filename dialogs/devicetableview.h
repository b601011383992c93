#pragma once

#include <QTableView>

class QContextMenuEvent;

// The device table: whole-row selection, no editing in place, sortable
// columns. Right-clicks go to the owner as `popup`, which shows the menu.
class DeviceTableView : public QTableView
{
    Q_OBJECT

public:
    explicit DeviceTableView(QWidget *parent = nullptr);

    // The selected rows as tab-separated text for a spreadsheet or a ticket:
    // a line of column headers, then one line a row, rows and columns in the
    // order shown.
    QString selectedRowsText() const;
    // Sets the column to leastWidth, or wider where this platform's font needs
    // more for the header text or for `sample` (with an icon beside it when
    // `withIcon`). Returns the width set.
    int fitColumn(
        int column, int leastWidth, const QString &sample = QString(), bool withIcon = false);
    // About 20 rows high: the window opens at its size hint.
    QSize sizeHint() const override;

signals:
    void popup(QContextMenuEvent *event);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
};
