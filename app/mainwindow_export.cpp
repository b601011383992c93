#include "mainwindow.h"

void MainWindow::exportConnectionsToXml()
{
}
