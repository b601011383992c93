#include "connectiondialog.h"
#include "connectionexport.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "devicereplies.h"
#include "logindata.h"
#include "logindialog.h"
#include "mainwindow.h"
#include "modal.h"
#include "packettransceiver.h"
#include "singleinstance.h"
#include "testmain.h"
#include "testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <sys/resource.h>

namespace {

// The text followed by NULs up to the field's width.
const auto text = [](const QByteArray &a, int width) { return a.leftJustified(width, '\0'); };
const auto macOf = [](int n) { return QString("02:00:00:00:00:%1").arg(n); };
const QString Mac = macOf(42);
const QByteArray MacField = text(Mac.toLatin1(), 18);
// One device in the export file: its Host and connection name go in.
const char Connection[]
    = "    <connection Host=\"%1\" ProductType=\"12\" ServerType=\"1\" Port=\"\" "
      "UploadSubfolder=\"\" User=\"\" Password=\"\">%2</connection>\n";

// The main window; its transceiver hands every datagram to `sent`, and
// replies are fed in as if received.
struct Finder
{
    TestSupport::TemporarySettings settings;
    MainWindow window;
    DeviceModel *model = window.findChild<DeviceModel *>();
    QTableView *view = window.findChild<QTableView *>();
    PacketTransceiver *transceiver = window.findChild<PacketTransceiver *>();
    QList<QByteArray> sent;
    // Called once for each modal widget as it shows, from a timer of its own so
    // that it may open further ones; `titles` lists them in order.
    std::function<void(QWidget *)> answer;
    QStringList titles;
    QTimer poll;

    Finder()
    {
        transceiver->setSendHookForTesting([this](const QByteArray &d) { sent << d; });
        // Without a 192.168.x interface every request would raise a warning box.
        QObject::disconnect(transceiver, &PacketTransceiver::warningMessage, &window, nullptr);
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && !modal->property("answered").toBool()) {
                modal->setProperty("answered", true);
                titles << modal->windowTitle();
                QTimer::singleShot(0, modal, [=] { answer(modal); });
            }
        });
        poll.start(5);
    }
    void reply(const QByteArray &datagram) { emit transceiver->replyReceived(datagram); }
    // No name or host name: that reply is left out.
    void add(int n, const char *name, const char *host = "gate", const char *ip = "192.0.2.10",
        const char *dhcp = "0", int version = 4, quint32 status = 0)
    {
        if (name)
            reply(DeviceReplies::deviceInfo(macOf(n), 0, "12", "1.0", name));
        if (host)
            reply(DeviceReplies::networkConfig(macOf(n), status, host, ip, dhcp, version));
    }
    QLineEdit *filter = window.findChild<QLineEdit *>();
    // As the view shows it: invalid while filtered out.
    QModelIndex cell(int n, int c) const
    {
        return window.findChild<DeviceFilterModel *>()->mapFromSource(
            model->index(model->findRow(macOf(n)), c));
    }
    QString status() const { return cell(42, DeviceModel::ColumnStatus).data().toString(); }
    // The status bar without the interface, which is the machine's own.
    QString summary() const
    {
        return window.statusBar()->findChild<QLabel *>()->text().remove(
            QRegularExpression(" on [^(]*\\([^)]*\\)|, no IPv4 network interface"));
    }
    // Double-clicks the device, types a host name and an IP address, applies
    // and logs in as admin/s3cret when asked. True when asked. `meanwhile`:
    // another program remembers a login while the dialog is open.
    bool edit(bool remember, bool meanwhile = false)
    {
        titles.clear();
        answer = [remember, meanwhile](QWidget *w) {
            auto *d = qobject_cast<ConnectionDialog *>(w);
            if (!d) // the login: OK by the keyboard
                return QTest::keyClick(w, Qt::Key_Return);
            QTest::keyClicks(d->hostnameEdit, "9boiler-7"); // the digit is refused
            QTest::keyClicks(d->ipAddressEdit, "192.0.02.77"); // goes out as 192.0.2.77
            if (meanwhile)
                LoginData::save({ Mac, "keeper", "old" });
            d->loginDialog->usernameEdit->setText("admin");
            d->loginDialog->passwordEdit->setText("s3cret");
            d->loginDialog->rememberCheckBox->setChecked(remember);
            d->applyButton->click();
            if (d->isVisible()) // Apply refused: end it rather than hang
                d->reject();
        };
        emit view->doubleClicked(cell(42, DeviceModel::ColumnIpAddress));
        return titles.contains("Device login");
    }
};

} // namespace

// The window and its dialogs, driven as a user drives them, and the failures a user must be told
// about.
class FinderWindowTest : public QObject
{
    Q_OBJECT

private slots:
    // ---- edit flow: from the double-click to the device's answer

    void editFlow_data()
    {
        QTest::addColumn<int>("version");
        // "stored" beforehand, or typed and "remember"ed or not, or typed while one was stored
        // "meanwhile"
        QTest::addColumn<QString>("login");
        QTest::addColumn<qint64>("answer"); // status of the device's reply; -1: none
        QTest::addColumn<QString>("rowStatus");
        QTest::addColumn<bool>("storedAfter");
        // clang-format off
        QTest::newRow("plain set") << 3 << "remember" << 0LL << "Applying new parameters..." << false;
        QTest::newRow("plain set, no answer") << 3 << "" << -1LL << "Device not responding" << false;
        QTest::newRow("login remembered once accepted") << 4 << "remember" << 0LL << "Applying new parameters..." << true;
        QTest::newRow("login not to be remembered") << 4 << "" << 0LL << "Applying new parameters..." << false;
        QTest::newRow("typed login refused") << 4 << "remember" << 0x80000003LL << "Authorization failed" << false;
        QTest::newRow("typed login refused, the stored one stays") << 4 << "meanwhile" << 0x80000003LL << "Authorization failed" << true;
        QTest::newRow("stored login used") << 5 << "stored" << 0LL << "Applying new parameters..." << true;
        QTest::newRow("stored login refused is forgotten") << 4 << "stored" << 0x80000003LL << "Stored password is not valid any more, please try again!" << false;
        // clang-format on
    }

    void editFlow()
    {
        QFETCH(int, version);
        QFETCH(QString, login);
        QFETCH(qint64, answer);
        QFETCH(bool, storedAfter);
        Finder f;
        // Empty fields take the typed texts as they are.
        f.add(42, "Netaboard-M4", "", "", "0", version);
        const bool stored = login == "stored", auth = version >= 4;
        if (stored)
            LoginData::save({ Mac, "keeper", "old" });
        QCOMPARE(f.edit(login == "remember", login == "meanwhile"), auth && !stored);

        const QByteArray d = f.sent.value(0);
        // The kind of request and the one device it is for; the unit suite pins the header bytes.
        QCOMPARE(Datagram::messageId(d), auth ? 13 : 9);
        QCOMPARE(Datagram::destMacAddr(d), Mac);
        // The MAC field first, except in the authenticated payload; the mask as the device had it.
        QCOMPARE(d.mid(124, auth ? 59 : 77),
            (auth ? QByteArray() : MacField) + text("boiler-7", 25) + text("0", 2)
                + text("192.0.2.77", 16) + text("255.255.255.0", 16));
        if (auth)
            QCOMPARE(d.mid(124 + 187, 128),
                text(QByteArray(stored ? "keeper:old" : "admin:s3cret").toBase64(), 128));
        // Nothing is stored before the device accepts.
        QCOMPARE(hasLoginData(Mac), stored || login == "meanwhile");

        if (answer >= 0)
            f.reply(DeviceReplies::header(auth ? 14 : 10, Mac, quint32(answer)));
        QFETCH(QString, rowStatus);
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), rowStatus, 10000);
        QCOMPARE(hasLoginData(Mac), storedAfter);
        QCOMPARE(f.sent.size(), answer == 0 ? 2 : 1); // accepted: the restart request
        // The next edit asks for a login exactly when none is stored.
        if (auth)
            QCOMPARE(f.edit(false), !storedAfter);
    }

    // ---- network settings dialog: what may be typed and applied

    void settingsDialog_refusesHalfTypedInput_data()
    {
        // IP address, mask, gateway, primary and secondary DNS; the IP address with DHCP chosen;
        // the host name
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("applied");
        // clang-format off
        QTest::newRow("octet over 255 refused while typing") << 0 << "256.1.2.3" << true;
        QTest::newRow("last octet missing") << 0 << "192.0.2." << false;
        QTest::newRow("DHCP sends no address") << 5 << "192.0.2." << true;
        QTest::newRow("no mask") << 1 << "" << false;
        QTest::newRow("no gateway") << 2 << "" << true;
        QTest::newRow("three octets") << 2 << "10.1.2" << false;
        QTest::newRow("half primary DNS") << 3 << "8.8." << false;
        QTest::newRow("half secondary DNS") << 4 << "1.1.1." << false;
        QTest::newRow("host name of one letter") << 6 << "a" << false;
        QTest::newRow("host name ending in a hyphen") << 6 << "node-" << false;
        QTest::newRow("no host name") << 6 << "" << false;
        QTest::newRow("host name of two") << 6 << "n2" << true;
        // clang-format on
    }

    void settingsDialog_refusesHalfTypedInput()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        ConnectionDialog d(false, nullptr);
        d.setConfiguration(DeviceReplies::networkConfig(Mac)); // with no DNS servers
        QLineEdit *edit = QList<QLineEdit *> { d.ipAddressEdit, d.subnetMaskEdit, d.gatewayEdit,
            d.primaryDnsEdit, d.secondaryDnsEdit, d.ipAddressEdit, d.hostnameEdit }[field];
        edit->clear();
        QTest::keyClicks(edit, typed);
        d.ipConfComboBox->setCurrentIndex(field == 5 ? 1 : 0);
        d.applyButton->click();
        QTEST(d.result() == QDialog::Accepted, "applied");
    }

    // ---- the selection: commands it enables, connections it exports

    void selection_commandsAndExport_data()
    {
        QTest::addColumn<QString>("rows"); // "all": Ctrl+A once the filter is typed
        QTest::addColumn<QString>("filter");
        // The context menu's Edit, Open in browser, Copy, Export and Delete, "-" where disabled.
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QStringList>("exported"); // Host>connection name, in the order written
        QTest::addColumn<QString>("counts"); // the status bar
        // clang-format off
        QTest::newRow("nothing") << "" << "" << "-----" << QStringList() << "10 devices, 8 with conflicts";
        QTest::newRow("static device with stored login") << "11" << "" << "EOCED" << QStringList { "192.0.2.11>H" } << "10 devices, 8 with conflicts";
        QTest::newRow("QuorvelNET") << "19" << "" << "EOC--" << QStringList() << "10 devices, 8 with conflicts";
        QTest::newRow("other Quorvel names") << "18" << "" << "EOCE-" << QStringList() << "10 devices, 8 with conflicts";
        QTest::newRow("empty device name") << "20" << "" << "--C--" << QStringList { "192.0.2.10>gate" } << "10 devices, 8 with conflicts";
        QTest::newRow("no network configuration yet") << "17" << "" << "--C--" << QStringList() << "10 devices, 8 with conflicts";
        QTest::newRow("two rows") << "11,14" << "" << "--CE-" << QStringList { "192.0.2.11>H", "192.0.2.14>H2" } << "10 devices, 8 with conflicts";
        QTest::newRow("many rows") << "14,11,16,13,17,12,18,19,15" << "" << "--CE-"
            << QStringList { "192.0.2.14>H", "192.0.2.11>H2", "192.0.2.13>h", "H>H3", "N/A>N/A" } << "10 devices, 8 with conflicts";
        QTest::newRow("a selected row filtered out") << "11,14" << "0:14" << "EOCED" << QStringList { "192.0.2.14>H" } << "10 devices, 1 shown, 8 with conflicts";
        QTest::newRow("all of a MAC fragment") << "all" << "00:13" << "EOCE-" << QStringList { "192.0.2.13>h" } << "10 devices, 1 shown, 8 with conflicts";
        QTest::newRow("all with a mark") << "all" << "ip CONFLICT" << "--CE-" << QStringList { "192.0.2.10>gate" } << "10 devices, 4 shown, 8 with conflicts";
        QTest::newRow("none shown") << "all" << "zzz" << "-----" << QStringList() << "10 devices, 0 shown, 8 with conflicts";
        // clang-format on
    }

    void selection_commandsAndExport()
    {
        Finder f;
        LoginData::save({ macOf(11), "u", "p" }); // never exported
        LoginData::save({ macOf(14), "u", "p" });
        // Host names and IP addresses for the export, names for the commands.
        f.add(11, "Cinaboard-M4", "H", "192.0.2.11");
        f.add(12, "Cinaboard-M4", "H", "192.0.2.12", "1");
        f.add(13, "Cinaboard-M4", "h", "192.0.2.13");
        f.add(14, "Cinaboard-M4", "H", "192.0.2.14");
        f.add(15, "Cinaboard-M4", "x", "", "0", 4, 0x80000001); // a failed reply shows N/A
        f.add(16, nullptr, "no-name");
        f.add(17, "Cinaboard-M4", nullptr);
        f.add(18, "Quorvel Gate");
        f.add(19, "QuorvelNET-III");
        f.add(20, "");
        QFETCH(QString, rows);
        for (const QString &n : rows.split(',', Qt::SkipEmptyParts))
            f.view->selectionModel()->select(
                f.cell(n.toInt(), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QFETCH(QString, filter);
        QTest::keyClicks(f.filter, filter);
        if (rows == "all")
            QTest::keyClick(f.view, Qt::Key_A, Qt::ControlModifier);
        QFETCH(QString, counts); // once the window has counted
        QTRY_COMPARE(f.summary(), counts);
        QString shown;
        for (const QAction *a : f.window.findChild<QMenu *>()->actions())
            shown += a->isSeparator() ? QString() : a->isEnabled() ? a->text().left(1) : "-";
        QTEST(shown, "enabled");

        QTemporaryDir dir;
        const QString file = dir.filePath("plant.xml");
        f.answer = [&](QWidget *w) {
            if (auto *m = qobject_cast<QMessageBox *>(w))
                f.titles << m->text();
            else // selectFile() leaves the focused name field alone: type into it
                w->findChild<QLineEdit *>("fileNameEdit")->setText(file);
            static_cast<QDialog *>(w)->accept();
        };
        QMetaObject::invokeMethod(&f.window, "exportConnectionsToXml");
        QFETCH(QStringList, exported);
        const int n = exported.size(); // none: no dialog, no file
        const QString dialogs
            = "Export %1 connections to a file|Export connections|%1 connection(s) exported to %2";
        QCOMPARE(f.titles.join('|'), n ? dialogs.arg(QString::number(n), file) : QString());
        QString expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<export>\n";
        for (const QString &c : exported)
            expected += QString(Connection).arg(c.section('>', 0, 0), c.section('>', 1));
        QFile written(file);
        QCOMPARE(written.open(QIODevice::ReadOnly | QIODevice::Text) ? written.readAll() : "",
            n ? (expected + "</export>\n").toUtf8() : QByteArray());
    }

    // ---- the filter: rows as they come and change, keys, copied text, names for a screen reader

    void filter_typedKeptCopiedAndNamed()
    {
        Finder f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.window)); // for the shortcuts
        f.add(1, "Cinaboard-M4", "hall", "192.0.2.1");
        f.add(2, "=cmd|' /C calc'!A0\tx", "hall", "192.0.2.2"); // a spreadsheet would run it
        f.add(3, "Lumaboard", "desk", "192.0.2.3");
        QTest::keyClick(&f.window, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(f.filter, "hall");
        QTest::keyClick(&f.window, Qt::Key_F, Qt::ControlModifier); // again: the text selected
        QCOMPARE(f.filter->selectedText(), "hall");
        QTest::keyClicks(f.filter, "CONFLICT"); // the marks of 1 and 2
        f.add(4, "Lumaboard", "yard", "192.0.2.9");
        f.add(3, "Lumaboard", "hall", "192.0.2.3"); // now marked too
        QTRY_COMPARE(f.summary(), "4 devices, 3 shown, 3 with conflicts");

        for (QWidget *w : f.window.findChildren<QWidget *>()) {
            if (w->isVisible()
                && (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)))
                QVERIFY2(
                    !QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(),
                    w->metaObject()->className());
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(f.view)->text(QAccessible::Name), "Devices");
        QCOMPARE(QAccessible::queryAccessibleInterface(f.filter)->text(QAccessible::Name),
            "Filter devices");

        // Copied as shown: sorted by IP address, the MAC column moved first.
        f.view->sortByColumn(DeviceModel::ColumnIpAddress, Qt::DescendingOrder);
        f.view->horizontalHeader()->moveSection(DeviceModel::ColumnMacAddress, 0);
        f.view->setFocus();
        for (int n : { 1, 3, 2 }) // rows in the order shown, whatever the order of clicks
            f.view->selectionModel()->select(
                f.cell(n, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(f.view, Qt::Key_C, Qt::ControlModifier);
        const QString row
            = "02:00:00:00:00:%1\t%2\t1.0\thall\t192.0.2.%1\tstatic\tDevice available\n";
        QCOMPARE(QGuiApplication::clipboard()->text(),
            "MAC Address\tDevice name\tFirmware ver.\tHostname\tIP Address\tIP config.\tStatus\n"
                + row.arg(3).arg("Lumaboard") + row.arg(2).arg("'=cmd|' /C calc'!A0 x")
                + row.arg(1).arg("Cinaboard-M4"));
        // Escape in the filter: every row again, and back to the table.
        QTest::keyClick(&f.window, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(f.filter, Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), f.view);
        QCOMPARE(f.view->model()->rowCount(), 4);
        QTRY_COMPARE(f.summary(), "4 devices, 3 with conflicts");
    }

    // ---- About box

    void aboutBox_contentAndLinks()
    {
        Finder f;
        TestSupport::UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        f.answer = [&](QWidget *w) {
            if (qobject_cast<QMessageBox *>(w)) // About Qt
                return void(w->close());
            const auto ok = qScopeGuard([w] { w->findChild<QPushButton *>()->click(); });
            auto *browser = w->findChild<QTextBrowser *>();
            const QString content = browser->toPlainText();
            const QString web = content.section("\nWeb: ", 1); // the address shown, and its target
            QVERIFY(browser->toHtml().contains("href=\"" + web + "\""));
            emit browser->anchorClicked(QUrl("veltrano:///aboutQt"));
            emit browser->anchorClicked(QUrl(web));
            QVERIFY(w->isVisible());
            QCOMPARE(catcher.urls, QList<QUrl> { QUrl(web) });
            QVERIFY(content.contains(" Quorvel Device Finder\nVersion 1.4.1\n"));
            QCOMPARE(content.count(" or newer\n"), 11);
            QVERIFY(content.endsWith("\nNetaboard-M4 version 1.0.0 or newer\nWeb: " + web));
        };
        QMetaObject::invokeMethod(&f.window, "about");
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(f.titles, QStringList({ "About Quorvel Device Finder", "About Qt" }));
    }

    // ---- single instance

    void secondStart_wakesFirstAndExitsZero()
    {
        const QString finder = qEnvironmentVariable("QDF_FINDER");
        QVERIFY2(
            QFile::exists(finder), "QDF_FINDER: build quorvel-device-finder, run through ctest");
        // Lock and socket in a folder of their own, never the user's.
        QTemporaryDir runtime;
        const auto restore = qScopeGuard(
            [user = qgetenv("XDG_RUNTIME_DIR")] { qputenv("XDG_RUNTIME_DIR", user); });
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        SingleInstance first(SingleInstance::identityFor(QFileInfo(finder).canonicalFilePath()));
        QVERIFY(!first.isRunning());
        QWidget window;
        window.showMinimized();
        first.setActivationWindow(&window, true);
        QSignalSpy woken(&first, &SingleInstance::messageReceived);
        QProcess second;
        second.start(finder, QStringList());
        // With the event loop running: the first instance has to answer.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(woken.size(), 1);
        QCOMPARE(woken.at(0).at(0).toString(), "...");
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
    }

    // ---- a flood of forged devices: the table stops at its bound and says so until the next scan

    void tableFull_dropsNewDevicesUntilTheNextScan()
    {
        Finder f;
        const auto forged = [](int n) {
            return QString::asprintf("0A:00:00:%02X:%02X:%02X", n >> 16, (n >> 8) & 0xff, n & 0xff);
        };
        for (int n = 0; n <= DeviceModel::MaxRows; ++n)
            f.reply(DeviceReplies::deviceInfo(forged(n)));
        const QLabel *summary = f.window.statusBar()->findChild<QLabel *>();
        QCOMPARE(f.model->rowCount(), DeviceModel::MaxRows);
        QCOMPARE(f.model->findRow(forged(DeviceModel::MaxRows)), -1);
        QVERIFY(
            summary->text().contains("table full: further devices ignored until the next scan"));
        // A device already in the table still completes its row.
        f.reply(DeviceReplies::networkConfig(forged(7), 0, "kept"));
        QCOMPARE(f.model->index(f.model->findRow(forged(7)), DeviceModel::ColumnHostname)
                     .data()
                     .toString(),
            QStringLiteral("kept"));
        f.model->setRowCount(0); // as the next scan starts
        QVERIFY(!summary->text().contains("table full"));
        f.reply(DeviceReplies::deviceInfo(forged(DeviceModel::MaxRows)));
        QCOMPARE(f.model->rowCount(), 1);
    }

    // ---- failures: an export that did not reach the disk, a login the device can never receive

    // Without an interface the first request brings a warning, here the restart asked for
    // while the set reply is handed on: its box opens after the delivery, not inside it.
    void warningBox_waitsForTheDelivery()
    {
        TestSupport::TemporarySettings settings;
        auto *transceiver = new PacketTransceiver(QStringList());
        transceiver->setSendHookForTesting([](const QByteArray &) {});
        MainWindow window(transceiver, nullptr);
        QStringList boxes;
        bool delivering = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QWidget *box = QApplication::activeModalWidget())
                boxes << (delivering ? "during" : "after"), box->close();
        });
        poll.start(5);
        window.findChild<DeviceModel *>()->onDeviceRequestSent(9, Mac); // a set, sent before
        delivering = true;
        emit transceiver->replyReceived(DeviceReplies::header(10, Mac));
        delivering = false;
        QTRY_COMPARE(boxes, QStringList { "after" });
    }

    void failedExport_saysWhyAndKeepsTheOldFile()
    {
        QTemporaryDir dir;
        QCOMPARE(ConnectionExport::save(dir.filePath("old.xml"), {}), QString());
        // Below a file nobody, not even root, can create one.
        QCOMPARE(ConnectionExport::save(dir.filePath("old.xml/new.xml"), {}), "Not a directory");
        // No room for a single byte, as on a full disk.
        const rlimit full { 0, RLIM_INFINITY }, unlimited { RLIM_INFINITY, RLIM_INFINITY };
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &full);
        const QString why = ConnectionExport::save(dir.filePath("old.xml"), {});
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QCOMPARE(why, "File too large");
        QVERIFY(QFileInfo(dir.filePath("old.xml")).size() > 0);
    }

    void loginDialog_refusesWhatTheDeviceCannotTake_data()
    {
        QTest::addColumn<QString>("password"); // after an empty user name and the colon
        QTest::addColumn<QString>("refused"); // "OK" or "remembering"
        QTest::newRow("93 characters, a bar") << QString(91, 'p') + '|' << "remembering";
        QTest::newRow("94 characters") << QString(93, 'p') << "OK";
        QTest::newRow("euro") << QStringLiteral("5€") << "OK";
    }
    void loginDialog_refusesWhatTheDeviceCannotTake()
    {
        QFETCH(QString, password);
        QFETCH(QString, refused);
        LoginDialog dialog(nullptr, Qt::Dialog);
        dialog.rememberCheckBox->setChecked(true);
        QTest::sendKeyEvent(QTest::Click, dialog.passwordEdit, Qt::Key_unknown, password, {});
        QCOMPARE(dialog.buttonBox->button(QDialogButtonBox::Ok)->isEnabled(), refused != "OK");
        QVERIFY(!dialog.problemLabel->isHidden());
        QCOMPARE(dialog.rememberCheckBox->isChecked() || dialog.rememberCheckBox->isEnabled(),
            refused != "remembering");
    }
};

QDF_TEST(FinderWindowTest)
#include "tst_finderwindow.moc"
