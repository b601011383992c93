#include "devicemodel.h"
#include "devicereplies.h"
#include "devicetableview.h"
#include "mainwindow.h"
#include "mainwindowtester.h"
#include "modal.h"
#include "packettransceiver.h"
#include "testsupport.h"
#include "urlcatcher.h"

#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <memory>

namespace {

void storeLogin(const QString &mac)
{
    QSettings settings(QStringLiteral("Korvex"), QStringLiteral("Quorvel Device Finder"));
    settings.setValue(QStringLiteral("LoginData/") + mac, QStringLiteral("anything"));
}

QStringList storedMacs()
{
    QSettings settings(QStringLiteral("Korvex"), QStringLiteral("Quorvel Device Finder"));
    settings.beginGroup(QStringLiteral("LoginData"));
    return settings.childKeys();
}

// Presses `button` on the next message box that opens; the box runs its own
// loop, so this has to be armed before the call that shows it.
void answerNextMessageBox(QMessageBox::StandardButton button, QString *seenText = nullptr,
    QMessageBox::Icon *seenIcon = nullptr)
{
    TestSupport::whenModalShown([button, seenText, seenIcon](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            modal->close();
            return;
        }
        if (seenText)
            *seenText = box->windowTitle() + QLatin1Char('|') + box->text();
        if (seenIcon)
            *seenIcon = box->icon();
        if (button == QMessageBox::Escape)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(button)->click();
    });
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Construction
    void construction_titleWidthsAndTimer();
    void toolBarAndContextMenu_holdTheActionsInOrder();
    void actionTexts_data();
    void actionTexts();

    // Enabling rules
    void afterStart_onlyScanAndAboutEnabled();
    void singleRow_data();
    void singleRow();
    void twoRows_disableSingleRowCommands();
    void statusChange_aloneDoesNotReevaluate();

    // Commands
    void deleteStoredPassword_cancelKeepsEverything();
    void deleteStoredPassword_okRemovesSelectedEntries();
    void launchBrowser_opensDeviceIndexPage();
    void popup_showsMenuAtEventPosition();
    void moveToTop_leavesNoStaysOnTopFlag();
    void transceiverWarning_showsWarningBox();

private:
    void addDevice(const QString &mac, const QString &name,
        const QString &ipAddress = QStringLiteral("127.0.0.5"));
    void selectRows(const QList<int> &rows);

    std::unique_ptr<TestSupport::TemporarySettings> settings;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowTester> tester;
    QList<QByteArray> sent;
};

void MainWindowTest::init()
{
    settings = std::make_unique<TestSupport::TemporarySettings>();
    window = std::make_unique<MainWindow>();
    tester = std::make_unique<MainWindowTester>(*window);
    sent.clear();
    // Nothing this test does may reach a network.
    tester->transceiver()->setSendHookForTesting(
        [this](const QByteArray &datagram) { sent << datagram; });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void MainWindowTest::cleanup()
{
    tester.reset();
    window.reset();
    settings.reset();
}

void MainWindowTest::addDevice(const QString &mac, const QString &name, const QString &ipAddress)
{
    DeviceModel *model = tester->deviceModel();
    if (!name.isNull())
        model->onDeviceReplyReceived(
            DeviceReplies::deviceInfo(mac, 0, QStringLiteral("21"), QStringLiteral("1.8.0"), name));
    // Loopback addresses only: nothing here is meant to be reached.
    if (!ipAddress.isNull())
        model->onDeviceReplyReceived(DeviceReplies::networkConfig(
            mac, 0, QStringLiteral("host-") + mac.right(2), ipAddress));
}

void MainWindowTest::selectRows(const QList<int> &rows)
{
    QItemSelectionModel *selection = tester->deviceView()->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(tester->deviceModel()->index(row, 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        selection->setCurrentIndex(
            tester->deviceModel()->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
}

// ---- Construction

void MainWindowTest::construction_titleWidthsAndTimer()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Quorvel Device Finder"));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->minimumWidth(), 890);
    QCOMPARE(window->contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(window->statusBar());

    const QHeaderView *columns = tester->deviceView()->horizontalHeader();
    const QList<int> widths { 100, 70, 130, 120, 70, 120 };
    for (int column = 0; column < widths.size(); ++column)
        QCOMPARE(columns->sectionSize(column), widths.at(column));

    QTimer *timer = tester->checkTimer();
    QCOMPARE(timer->interval(), 3000);
    QVERIFY(timer->isSingleShot());
    QVERIFY(!timer->isActive());
    // No scan starts by itself.
    QCOMPARE(tester->deviceModel()->rowCount(), 0);
    QVERIFY(sent.isEmpty());
}

void MainWindowTest::toolBarAndContextMenu_holdTheActionsInOrder()
{
    QCOMPARE(tester->toolBar()->actions(),
        (QList<QAction *> { tester->scanAct(), tester->editAct(), tester->aboutAct() }));
    QCOMPARE(tester->toolBar()->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);

    const QList<QAction *> menu = tester->contextMenu()->actions();
    QCOMPARE(menu.size(), 6);
    QCOMPARE(menu.at(0), tester->editAct());
    QCOMPARE(menu.at(1), tester->webAct());
    QVERIFY(menu.at(2)->isSeparator());
    QCOMPARE(menu.at(3), tester->exportAct());
    QVERIFY(menu.at(4)->isSeparator());
    QCOMPARE(menu.at(5), tester->deletePasswordAct());

    // Their shortcuts must work although they are in no tool bar.
    const QList<QAction *> own = window->actions();
    QVERIFY(own.contains(tester->webAct()));
    QVERIFY(own.contains(tester->exportAct()));
    QVERIFY(own.contains(tester->deletePasswordAct()));
}

void MainWindowTest::actionTexts_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("statusTip");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("scan") << "scan"
                          << "Scan / Refresh"
                          << "F5" << QKeySequence(Qt::Key_F5)
                          << "Detect and list devices in network"
                          << "Detect and list devices in network [F5]";
    QTest::newRow("edit") << "edit"
                          << "Edit network settings"
                          << "Ctrl+E" << QKeySequence(Qt::CTRL | Qt::Key_E)
                          << "Edit currently selected device"
                          << "Edit currently selected device [Ctrl+E]";
    QTest::newRow("about") << "about"
                           << "About"
                           << "" << QKeySequence() << ""
                           << "About";
    QTest::newRow("web")
        << "web"
        << "Open in web browser"
        << "Ctrl+W" << QKeySequence(Qt::CTRL | Qt::Key_W)
        << "Open currently selected device in a web browser (works only if device is properly "
           "configured)"
        << "Open currently selected device in a web browser [Ctrl+W]. Works only if device is "
           "properly configured.";
    QTest::newRow("export") << "export"
                            << "Export connection for Zet7"
                            << "Ctrl+X" << QKeySequence(Qt::CTRL | Qt::Key_X)
                            << "Export connections to a xml file for Zet7"
                            << "Export connections to a xml file for Zet7 [Ctrl+X].";
    QTest::newRow("delete") << "delete"
                            << "Delete stored password"
                            << "Del" << QKeySequence(Qt::Key_Delete)
                            << "Delete locally stored password for selected connections"
                            << "Delete locally stored password for selected connections [Del].";
}

void MainWindowTest::actionTexts()
{
    QFETCH(QString, action);
    QFETCH(QString, text);
    QFETCH(QString, shortcut);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, statusTip);
    QFETCH(QString, toolTip);

    const QHash<QString, QAction *> actions { { QStringLiteral("scan"), tester->scanAct() },
        { QStringLiteral("edit"), tester->editAct() },
        { QStringLiteral("about"), tester->aboutAct() },
        { QStringLiteral("web"), tester->webAct() },
        { QStringLiteral("export"), tester->exportAct() },
        { QStringLiteral("delete"), tester->deletePasswordAct() } };
    QAction *act = actions.value(action);
    QVERIFY(act);
    QCOMPARE(act->text(), text);
    QCOMPARE(act->shortcut(), keys);
    QCOMPARE(act->shortcut().toString(), shortcut);
    QCOMPARE(act->statusTip(), statusTip);
    // Without a tool tip of its own an action shows its text.
    QCOMPARE(act->toolTip(), toolTip);
    QVERIFY(!act->icon().isNull());
}

// ---- Enabling rules

void MainWindowTest::afterStart_onlyScanAndAboutEnabled()
{
    QVERIFY(tester->scanAct()->isEnabled());
    QVERIFY(tester->aboutAct()->isEnabled());
    QVERIFY(!tester->editAct()->isEnabled());
    QVERIFY(!tester->webAct()->isEnabled());
    QVERIFY(!tester->exportAct()->isEnabled());
    QVERIFY(!tester->deletePasswordAct()->isEnabled());

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QSignalSpy edit(tester->editAct(), &QAction::triggered);
    QSignalSpy web(tester->webAct(), &QAction::triggered);
    QSignalSpy exportSpy(tester->exportAct(), &QAction::triggered);
    QSignalSpy remove(tester->deletePasswordAct(), &QAction::triggered);
    QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_Delete);
    QCOMPARE(edit.count() + web.count() + exportSpy.count() + remove.count(), 0);
}

void MainWindowTest::singleRow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withIp");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("web");
    QTest::addColumn<bool>("exportable");
    QTest::addColumn<bool>("remove");

    QTest::newRow("complete device")
        << "Lumaboard-III" << true << false << true << true << true << false;
    QTest::newRow("with stored login")
        << "Lumaboard-III" << true << true << true << true << true << true;
    QTest::newRow("QuorvelNET is not exported")
        << "QuorvelNET-4.3" << true << false << true << true << false << false;
    QTest::newRow("other Quorvel names count for export")
        << "Quorvel-Lite" << true << false << true << true << true << false;
    QTest::newRow("empty name") << "" << true << true << false << false << false << true;
    QTest::newRow("no network configuration yet")
        << "Cinaboard-IV" << false << false << false << false << false << false;
    QTest::newRow("no network configuration, stored login")
        << "Cinaboard-IV" << false << true << false << false << false << true;
}

void MainWindowTest::singleRow()
{
    QFETCH(QString, name);
    QFETCH(bool, withIp);
    QFETCH(bool, stored);
    const QString mac = QStringLiteral("00:50:C2:00:00:01");
    if (stored)
        storeLogin(mac);
    addDevice(QStringLiteral("00:50:C2:00:00:99"), QStringLiteral("Netaboard-M4"));
    addDevice(mac, name, withIp ? QStringLiteral("127.0.0.5") : QString());
    QCOMPARE(tester->deviceModel()->rowCount(), 2);

    selectRows({ 1 });
    QTEST(tester->editAct()->isEnabled(), "edit");
    QTEST(tester->webAct()->isEnabled(), "web");
    QTEST(tester->exportAct()->isEnabled(), "exportable");
    QTEST(tester->deletePasswordAct()->isEnabled(), "remove");
    QVERIFY(tester->scanAct()->isEnabled());
    QVERIFY(tester->aboutAct()->isEnabled());
}

void MainWindowTest::twoRows_disableSingleRowCommands()
{
    storeLogin(QStringLiteral("00:50:C2:00:00:01"));
    storeLogin(QStringLiteral("00:50:C2:00:00:02"));
    addDevice(QStringLiteral("00:50:C2:00:00:01"), QStringLiteral("QuorvelNET-III"));
    addDevice(QStringLiteral("00:50:C2:00:00:02"), QStringLiteral("Lumaboard-4.3"));
    addDevice(QStringLiteral("00:50:C2:00:00:03"), QStringLiteral("QuorvelNET-4.3"));

    selectRows({ 0, 1 });
    QVERIFY(!tester->editAct()->isEnabled());
    QVERIFY(!tester->webAct()->isEnabled());
    QVERIFY(!tester->deletePasswordAct()->isEnabled());
    QVERIFY(tester->exportAct()->isEnabled());

    selectRows({ 0, 2 });
    QVERIFY(!tester->exportAct()->isEnabled());
}

void MainWindowTest::statusChange_aloneDoesNotReevaluate()
{
    const QString mac = QStringLiteral("00:50:C2:00:00:01");
    storeLogin(mac);
    addDevice(mac, QStringLiteral("Lumaboard-III"));
    selectRows({ 0 });
    QVERIFY(tester->deletePasswordAct()->isEnabled());

    QSettings(QStringLiteral("Korvex"), QStringLiteral("Quorvel Device Finder"))
        .remove(QStringLiteral("LoginData/") + mac);
    QCOMPARE(tester->deviceModel()->setStatus(mac, InformationIncomplete()), 0);
    QVERIFY(tester->deletePasswordAct()->isEnabled());

    // A new row is an insertion: now the rules run again.
    addDevice(QStringLiteral("00:50:C2:00:00:02"), QStringLiteral("Cinaboard-II"));
    QCOMPARE(tester->deviceView()->selectionModel()->selectedRows().size(), 1);
    QVERIFY(!tester->deletePasswordAct()->isEnabled());
}

// ---- Commands

void MainWindowTest::deleteStoredPassword_cancelKeepsEverything()
{
    const QString mac = QStringLiteral("00:50:C2:00:00:01");
    storeLogin(mac);
    addDevice(mac, QStringLiteral("Lumaboard-III"));
    selectRows({ 0 });
    QVERIFY(tester->deletePasswordAct()->isEnabled());

    QString seen;
    answerNextMessageBox(QMessageBox::Cancel, &seen);
    tester->deletePasswordAct()->trigger();
    QCOMPARE(seen,
        QStringLiteral("Store deleted password|Do you really want to delete stored password for "
                       "selected connections?"));
    QCOMPARE(storedMacs(), QStringList { mac });
    QVERIFY(tester->deletePasswordAct()->isEnabled());

    answerNextMessageBox(QMessageBox::Escape);
    tester->deletePasswordAct()->trigger();
    QCOMPARE(storedMacs(), QStringList { mac });
    QVERIFY(tester->deletePasswordAct()->isEnabled());
}

void MainWindowTest::deleteStoredPassword_okRemovesSelectedEntries()
{
    const QString mac = QStringLiteral("00:50:C2:00:00:01");
    const QString other = QStringLiteral("00:50:C2:00:00:02");
    storeLogin(mac);
    storeLogin(other);
    addDevice(mac, QStringLiteral("Lumaboard-III"));
    addDevice(other, QStringLiteral("Lumaboard-III"));
    selectRows({ 0 });

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerNextMessageBox(QMessageBox::Ok, nullptr, &icon);
    tester->deletePasswordAct()->trigger();
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(storedMacs(), QStringList { other });
    QVERIFY(!tester->deletePasswordAct()->isEnabled());

    // Ok for a device without an entry: nothing removed, the action is disabled.
    const QString bare = QStringLiteral("00:50:C2:00:00:03");
    addDevice(bare, QStringLiteral("Cinaboard-M4"));
    selectRows({ 2 });
    tester->deletePasswordAct()->setEnabled(true);
    answerNextMessageBox(QMessageBox::Ok);
    tester->deletePasswordAct()->trigger();
    QCOMPARE(storedMacs(), QStringList { other });
    QVERIFY(!tester->deletePasswordAct()->isEnabled());
}

void MainWindowTest::launchBrowser_opensDeviceIndexPage()
{
    TestSupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    addDevice(QStringLiteral("00:50:C2:00:00:01"), QStringLiteral("Lumaboard-III"),
        QStringLiteral("127.0.0.5"));
    addDevice(QStringLiteral("00:50:C2:00:00:02"), QStringLiteral("Lumaboard-III"),
        QStringLiteral("127.0.0.6"));

    selectRows({ 1 });
    QVERIFY(tester->webAct()->isEnabled());
    tester->webAct()->trigger();

    // The shortcut reaches the same command.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    selectRows({ 0 });
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);

    // The current row counts, even when another row is selected.
    tester->deviceView()->selectionModel()->setCurrentIndex(
        tester->deviceModel()->index(1, 2), QItemSelectionModel::NoUpdate);
    tester->launchBrowser();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

    QCOMPARE(catcher.urls,
        (QList<QUrl> { QUrl(QStringLiteral("http://127.0.0.6/index.cgi")),
            QUrl(QStringLiteral("http://127.0.0.5/index.cgi")),
            QUrl(QStringLiteral("http://127.0.0.6/index.cgi")) }));
}

void MainWindowTest::popup_showsMenuAtEventPosition()
{
    addDevice(QStringLiteral("00:50:C2:00:00:01"), QStringLiteral("Lumaboard-III"));
    selectRows({ 0 });
    const QPoint global = window->mapToGlobal(QPoint(40, 60));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(40, 60), global);
    emit tester->deviceView()->popup(&event);

    QMenu *menu = tester->contextMenu();
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), global);
    QCOMPARE(menu->activeAction(), nullptr);
    QVERIFY(!tester->deletePasswordAct()->isEnabled());
    menu->hide();
}

void MainWindowTest::moveToTop_leavesNoStaysOnTopFlag()
{
    const Qt::WindowFlags before = window->windowFlags();
    window->moveToTop();
    QVERIFY(window->isVisible());
    QVERIFY(!(window->windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(window->windowFlags(), before);
}

void MainWindowTest::transceiverWarning_showsWarningBox()
{
    QString seen;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerNextMessageBox(QMessageBox::Ok, &seen, &icon);
    emit tester->transceiver()->warningMessage(QStringLiteral("Creating message header"),
        QStringLiteral("Could not get a valid network interface!"));
    QCOMPARE(
        seen, QStringLiteral("Creating message header|Could not get a valid network interface!"));
    QCOMPARE(icon, QMessageBox::Warning);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
