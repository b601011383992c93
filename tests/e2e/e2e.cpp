#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

namespace {

// Xvfb has to be up before the shared main makes the application object, which
// then takes the screenshots from it. It dies with this process.
const bool OnXvfb = [] {
    static FILE *xvfb = ::popen("exec setpriv --pdeathsig TERM Xvfb -displayfd 1 2>/dev/null", "r");
    int display = -1;
    if (!xvfb || std::fscanf(xvfb, "%d", &display) != 1)
        return false;
    qputenv("DISPLAY", ':' + QByteArray::number(display));
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt's own dialogs, whatever desktop the test was started from.
    qunsetenv("QT_QPA_PLATFORMTHEME");
    return true;
}();

// Two share a host name; only the one to edit has a name beginning with N, and
// the company's own device is never exported.
const char Devices[] = R"([{"mac": "02:00:00:00:E2:01", "name": "Lumaboard-III", "firmware": "1.8",
  "protocolVersion": 3, "hostname": "hall", "dhcp": "1", "ipAddress": "192.168.77.31"},
 {"mac": "02:00:00:00:E2:02", "name": "Cinaboard-IV", "firmware": "1.8", "hostname": "studio",
  "dhcp": "0", "ipAddress": "192.168.77.32"},
 {"mac": "02:00:00:00:E2:03", "name": "Netaboard-M4", "firmware": "1.8", "hostname": "studio",
  "dhcp": "1", "ipAddress": "192.168.77.33", "user": "installer", "password": "e2e-Secret"},
 {"mac": "02:00:00:00:E2:04", "name": "QuorvelNET-III", "firmware": "1", "hostname": "rack"}])";

// What the device sees of the edit, in this order: the login accepted, the
// restart with the new settings, and the request that reads them back.
const char EditSeen[] = "request 13 [^\n]* to 02:00:00:00:E2:03 length 439 accepted\n[\\s\\S]*"
                        "request 1 [^\n]* to 02:00:00:00:E2:03 length 124 restarted with new "
                        "settings\n[\\s\\S]*request 7 [^\n]* to 02:00:00:00:E2:03 length 124\n";

QString xdo(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    xdotool.waitForFinished(15000);
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

// xdotool's "key" and "type" commands for a window, which first gets the focus:
// there is no window manager to give it.
void send(const QString &window, const QStringList &input)
{
    xdo(QStringList { "windowfocus", "--sync", window } + input);
}

// The ids of the visible windows with that title, once there are `count`.
QString windows(const QString &title, int count = 1)
{
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired(); QTest::qWait(50)) {
        const QString ids = xdo({ "search", "--onlyvisible", "--name", title });
        if (ids.isEmpty() ? count == 0 : ids.count(QLatin1Char('\n')) + 1 == count)
            return ids;
    }
    return QString();
}

// Saves the window's picture for review once it shows more than one colour;
// false if it never does.
bool screenshot(const QString &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("QDF_ARTIFACTS", QDir::tempPath());
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QTest::qWait(100)) {
        const QImage image
            = QGuiApplication::primaryScreen()->grabWindow(window.toULong()).toImage();
        QImage flat(image.size(), image.format());
        flat.fill(image.pixel(0, 0));
        if (!image.isNull() && image != flat)
            return QDir().mkpath(folder) && image.save(folder + '/' + name);
    }
    return false;
}

} // namespace

// The built program as a user meets it: its own X server, the simulator on the
// other side of the lab, and nothing but keys from xdotool.
class EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void scanExportEditSecondStart();
};

void EndToEnd::scanExportEditSecondStart()
{
    QDF_REQUIRE_LAB();
    QVERIFY2(OnXvfb, "Xvfb did not start");
    QTemporaryDir home;
    QFile devices(home.filePath(QStringLiteral("devices.json")));
    QVERIFY(devices.open(QIODevice::WriteOnly) && devices.write(Devices) > 0 && devices.flush());
    NetLab::SimulatorProcess simulator({ "--config", devices.fileName(), "--verbose" });
    QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
    // Settings, lock and socket of the program go to the throw-away home only.
    for (const char *name : { "HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR" })
        qputenv(name, QFile::encodeName(home.path()));
    QProcess finder, second;
    finder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList program { "--pdeathsig", "KILL", qEnvironmentVariable("QDF_FINDER") };
    finder.start(QStringLiteral("setpriv"), program);
    const QString window = windows(QStringLiteral("^Quorvel Device Finder$"));
    QVERIFY2(!window.isEmpty(), "no main window");

    // Scan, and once the devices have answered, select all and export.
    QString log;
    auto logged = [&](const QString &pattern) {
        log += QString::fromUtf8(simulator.readAllStandardError());
        return log.contains(QRegularExpression(pattern));
    };
    send(window, { "key", "F5" });
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("request 7 .* to FF:FF:FF:FF:FF:FF")), 10000);
    send(window, { "key", "ctrl+a", "ctrl+x" });
    const QString saveAs = windows(QStringLiteral("^Export 3 connections to a file$"));
    const QString file = home.filePath(QStringLiteral("devices.xml"));
    send(saveAs, { "key", "ctrl+a", "type", file + '\r' });
    send(windows(QStringLiteral("^Export connections$")), { "key", "Return" });
    QVERIFY(screenshot(window, QStringLiteral("main-window.png")));
    QFile xml(file);
    QVERIFY(xml.open(QIODevice::ReadOnly));
    QStringList hosts, names;
    auto connections = QRegularExpression(QStringLiteral("Host=\"([^\"]*)\"[^>]*>([^<]*)<"))
                           .globalMatch(QString::fromUtf8(xml.readAll()));
    while (connections.hasNext()) {
        const QRegularExpressionMatch connection = connections.next();
        hosts << connection.captured(1);
        names << connection.captured(2);
    }
    hosts.sort();
    QCOMPARE(hosts, (QStringList { "192.168.77.32", "hall", "studio" }));
    QCOMPARE(names.removeDuplicates(), 0);

    // A new host name for the device that wants a login, by keyboard alone;
    // Apply is two steps back from the host name.
    send(window, { "key", "ctrl+Home", "n", "ctrl+e" });
    const QString settings = windows(QStringLiteral("^Connection properties$"));
    QVERIFY(screenshot(settings, QStringLiteral("settings-dialog.png")));
    send(settings, { "key", "ctrl+a", "type", "foyer" });
    send(settings, { "key", "shift+Tab", "shift+Tab", "space" });
    send(windows(QStringLiteral("^Device login$")), { "type", "installer\te2e-Secret\r" });
    QTRY_VERIFY_WITH_TIMEOUT(logged(QString::fromLatin1(EditSeen)), 15000);

    // A second start wakes the first and ends.
    second.start(QStringLiteral("setpriv"), program);
    QVERIFY(second.waitForFinished(30000));
    QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    QVERIFY(!windows(QStringLiteral("^Quorvel Device Finder$")).isEmpty());
    QCOMPARE(finder.state(), QProcess::Running);
    finder.terminate();
    QVERIFY(finder.waitForFinished(10000));
}

QDF_TEST(EndToEnd)
#include "e2e.moc"
