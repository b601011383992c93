#pragma once

#include <QMainWindow>
#include <QModelIndex>
#include <QStringList>
#include <QUrl>

class DeviceFilterModel;
class DeviceModel;
class DeviceTableView;
class PacketTransceiver;
class ScanCycle;
class QAction;
class QComboBox;
class QContextMenuEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QTextBrowser;
class QTimer;
class QToolBar;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    // Takes over the given transceiver; tests pass one with interface entries
    // and a send hook of their own.
    MainWindow(PacketTransceiver *packetTransceiver, QWidget *parent);
    ~MainWindow() override;

public slots:
    void moveToTop();

private slots:
    void scan();
    void edit(QModelIndex index = QModelIndex());
    void about();
    void launchBrowser();
    void exportConnectionsToXml();
    void deleteStoredPassword();
    void checkDeviceCount();
    void deviceViewPopup(QContextMenuEvent *event);
    void updateActions();
    void onTranscvrWarning(QString title, QString msg);
    void onAppTextBrowserAnchorClicked(QUrl url);
    void copySelectedRows();

private:
    void createActions();
    void setActionTexts();
    void showAboutDialog(QString text, QStringList products);
    QTextBrowser *createAppTextBrowser(QString text, QStringList products);
    QStringList loadLoginData(QString macAddress);
    // The interfaces in the tool bar's selector, the one in use current.
    void updateInterfaceSelector();
    // The status bar's summary of the last scan.
    void updateStatusSummary();
    // The device model's cell at `column` in the row of a cell of the view;
    // every command finds its device through here.
    QModelIndex deviceIndex(const QModelIndex &viewIndex, int column) const;
    // The device model's cells at `column` of the selected rows, in selection order.
    QModelIndexList selectedDevices(int column) const;

    QFrame *centralFrame = nullptr;
    DeviceTableView *deviceView = nullptr;
    DeviceModel *deviceModel = nullptr;
    QMenu *contextMenu = nullptr;
    QToolBar *toolBar = nullptr;
    QAction *scanAct = nullptr;
    QAction *editAct = nullptr;
    QAction *aboutAct = nullptr;
    QAction *webAct = nullptr;
    QAction *exportAct = nullptr;
    QAction *deletePasswordAct = nullptr;
    PacketTransceiver *transceiver = nullptr;
    ScanCycle *scanCycle = nullptr;
    QComboBox *interfaceSelector = nullptr;
    QLabel *statusLabel = nullptr;
    DeviceFilterModel *filterModel = nullptr;
    QLineEdit *filterEdit = nullptr;
    QAction *filterAct = nullptr;
    QAction *copyAct = nullptr;
    QTimer *refreshTimer = nullptr;

    // The benchmarks reach the members through bench/windowtester.h.
    friend class MainWindowTester;
};
