#pragma once

#include "mainwindow.h"

// Gives tests the window's members and private slots without making them public.
class MainWindowTester
{
public:
    explicit MainWindowTester(MainWindow &window)
        : window(window)
    { }

    QFrame *centralFrame() const { return window.centralFrame; }
    DeviceTableView *deviceView() const { return window.deviceView; }
    DeviceModel *deviceModel() const { return window.deviceModel; }
    QMenu *contextMenu() const { return window.contextMenu; }
    QToolBar *toolBar() const { return window.toolBar; }
    QAction *scanAct() const { return window.scanAct; }
    QAction *editAct() const { return window.editAct; }
    QAction *aboutAct() const { return window.aboutAct; }
    QAction *webAct() const { return window.webAct; }
    QAction *exportAct() const { return window.exportAct; }
    QAction *deletePasswordAct() const { return window.deletePasswordAct; }
    PacketTransceiver *transceiver() const { return window.transceiver; }
    QTimer *checkTimer() const { return window.checkTimer; }

    void scan() { window.scan(); }
    void edit(const QModelIndex &index = QModelIndex()) { window.edit(index); }
    void about() { window.about(); }
    void launchBrowser() { window.launchBrowser(); }
    void exportConnectionsToXml() { window.exportConnectionsToXml(); }
    void deleteStoredPassword() { window.deleteStoredPassword(); }
    void checkDeviceCount() { window.checkDeviceCount(); }
    void deviceViewPopup(QContextMenuEvent *event) { window.deviceViewPopup(event); }
    void updateActions() { window.updateActions(); }
    void onTranscvrWarning(const QString &title, const QString &msg)
    {
        window.onTranscvrWarning(title, msg);
    }
    void onAppTextBrowserAnchorClicked(const QUrl &url)
    {
        window.onAppTextBrowserAnchorClicked(url);
    }
    void showAboutDialog(const QString &text, const QStringList &products)
    {
        window.showAboutDialog(text, products);
    }
    QTextBrowser *createAppTextBrowser(const QString &text, const QStringList &products)
    {
        return window.createAppTextBrowser(text, products);
    }
    QStringList loadLoginData(const QString &macAddress)
    {
        return window.loadLoginData(macAddress);
    }

private:
    MainWindow &window;
};
