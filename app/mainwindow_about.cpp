#include "mainwindow.h"

#include <QTextBrowser>

void MainWindow::about()
{
}

void MainWindow::showAboutDialog(QString text, QStringList products)
{
    Q_UNUSED(text)
    Q_UNUSED(products)
}

QTextBrowser *MainWindow::createAppTextBrowser(QString text, QStringList products)
{
    Q_UNUSED(text)
    Q_UNUSED(products)
    return nullptr;
}

void MainWindow::onAppTextBrowserAnchorClicked(QUrl url)
{
    Q_UNUSED(url)
}
