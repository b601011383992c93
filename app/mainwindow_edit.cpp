#include "mainwindow.h"

void MainWindow::edit(QModelIndex index)
{
    Q_UNUSED(index)
}
