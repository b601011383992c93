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

    QString currentRowText(int column) const;

signals:
    void popup(QContextMenuEvent *event);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
};
