#include "mainwindow.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), centralFrame(nullptr), deviceView(nullptr), deviceModel(nullptr),
      contextMenu(nullptr), toolBar(nullptr), scanAct(nullptr), editAct(nullptr), aboutAct(nullptr),
      webAct(nullptr), exportAct(nullptr), deletePasswordAct(nullptr), transceiver(nullptr),
      checkTimer(nullptr)
{
    setWindowTitle(QStringLiteral("Quorvel Device Finder"));
}

MainWindow::~MainWindow() = default;

void MainWindow::moveToTop() {}
void MainWindow::scan() {}
void MainWindow::launchBrowser() {}
void MainWindow::deleteStoredPassword() {}
void MainWindow::checkDeviceCount() {}
void MainWindow::deviceViewPopup(QContextMenuEvent *event) { Q_UNUSED(event) }
void MainWindow::updateActions() {}
void MainWindow::onTranscvrWarning(QString title, QString msg)
{
    Q_UNUSED(title)
    Q_UNUSED(msg)
}
void MainWindow::createActions() {}
void MainWindow::setActionTexts() {}
QStringList MainWindow::loadLoginData(QString macAddress)
{
    Q_UNUSED(macAddress)
    return {};
}
