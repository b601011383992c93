#include "childprocess.h"
#include "simulatorprocess.h"
#include "testsupport.h"
#include "virtualdisplay.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

// The built program as a user meets it: a real X server (Xvfb), the simulator
// on the other side of the lab, and nothing but synthetic keys and clicks from
// xdotool. The program has no test hooks; the test sees what a user sees
// (window titles, the exported file) and what the simulated devices received.
class FinderEndToEndTest : public QObject
{
    Q_OBJECT

public:
    explicit FinderEndToEndTest(const QString &displayProblem);

private slots:
    void initTestCase();
    void cleanupTestCase();

    // In this order: each step goes on from where the last one left the program.
    void scan_exportsEveryDeviceOnce();
    void edit_authenticatedDevice_byKeyboardOnly();
    void secondStart_exitsWithZero_oneWindowStays();
    void aboutBox_opensFromToolBar();

private:
    bool startFinder(TestSupport::ChildProcess *process);
    QString exportAll(const QString &fileName);
    QString saveScreenshot(const QString &window, const QString &fileName);
    int simulatorLogCount(const QString &pattern);

    QString displayProblem;
    QTemporaryDir home;
    QString artifacts;
    QProcessEnvironment finderEnvironment;
    std::unique_ptr<TestSupport::SimulatorProcess> simulator;
    TestSupport::ChildProcess finder;
    QString mainWindow;
};

namespace {

const QString MainTitle = QStringLiteral("^Quorvel Device Finder$");
const QString SettingsTitle = QStringLiteral("^Connection properties$");
const QString LoginTitle = QStringLiteral("^Device login$");
const QString SaveTitle = QStringLiteral("^Export [0-9]+ connections to a file$");
const QString ExportedTitle = QStringLiteral("^Export connections$");
const QString AboutTitle = QStringLiteral("^About Quorvel Device Finder$");

struct Device
{
    QString mac;
    QString name;
    QString productType;
    int protocolVersion;
    QString hostname;
    bool dhcp;
    QString ip;
    QString user;
    QString password;

    // The export leaves out the company's own devices.
    bool exported() const { return !name.startsWith(QLatin1String("Quorvel")); }
    QString host(const QString &currentHostname) const { return dhcp ? currentHostname : ip; }
};

// Two share a host name; only the target's name begins with N, so typing "n"
// in the table selects it; the QuorvelNET device is never exported.
const Device Devices[] = {
    { QStringLiteral("02:00:00:00:E2:01"), QStringLiteral("Lumaboard-III"), QStringLiteral("12"), 3,
        QStringLiteral("hall-display"), true, QStringLiteral("192.168.77.31"), {}, {} },
    { QStringLiteral("02:00:00:00:E2:02"), QStringLiteral("Cinaboard-IV"), QStringLiteral("23"), 4,
        QStringLiteral("studio"), false, QStringLiteral("192.168.77.32"), {}, {} },
    { QStringLiteral("02:00:00:00:E2:03"), QStringLiteral("Cinaboard-M4"), QStringLiteral("24"), 4,
        QStringLiteral("studio"), true, QStringLiteral("192.168.77.33"), {}, {} },
    { QStringLiteral("02:00:00:00:E2:04"), QStringLiteral("Lumaboard-4.3"), QStringLiteral("11"), 3,
        QStringLiteral("lobby"), false, QStringLiteral("192.168.77.34"), {}, {} },
    { QStringLiteral("02:00:00:00:E2:05"), QStringLiteral("Netaboard-M4"), QStringLiteral("33"), 4,
        QStringLiteral("foyer-panel"), true, QStringLiteral("192.168.77.35"),
        QStringLiteral("installer"), QStringLiteral("e2e-Secret") },
    { QStringLiteral("02:00:00:00:E2:06"), QStringLiteral("QuorvelNET-III"), QStringLiteral("2"), 4,
        QStringLiteral("qnet-rack"), false, QStringLiteral("192.168.77.36"), {}, {} },
};
const Device &Target = Devices[4];
const QString NewHostname = QStringLiteral("foyer-renamed");

QByteArray devicesJson()
{
    QJsonArray devices;
    for (const Device &d : Devices) {
        devices.append(
            QJsonObject { { QStringLiteral("mac"), d.mac }, { QStringLiteral("name"), d.name },
                { QStringLiteral("firmware"), QStringLiteral("1.8.0") },
                { QStringLiteral("productType"), d.productType },
                { QStringLiteral("protocolVersion"), d.protocolVersion },
                { QStringLiteral("hostname"), d.hostname },
                { QStringLiteral("dhcp"), d.dhcp ? QStringLiteral("1") : QStringLiteral("0") },
                { QStringLiteral("ipAddress"), d.ip },
                { QStringLiteral("subnetMask"), QStringLiteral("255.255.255.0") },
                { QStringLiteral("gateway"), QStringLiteral("192.168.77.1") },
                { QStringLiteral("user"), d.user }, { QStringLiteral("password"), d.password } });
    }
    return QJsonDocument(devices).toJson();
}

struct Connection
{
    QString host;
    QString productType;
    QString serverType;
    QString user;
    QString password;
    QString name;
};

QList<Connection> readExport(const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + fileName;
        return {};
    }
    QXmlStreamReader xml(&file);
    QList<Connection> connections;
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("export")) {
        *error = QStringLiteral("the root element is not <export>");
        return {};
    }
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("connection")) {
            *error = QStringLiteral("unexpected element ") + xml.name().toString();
            return {};
        }
        const QXmlStreamAttributes a = xml.attributes();
        Connection c { a.value(QLatin1String("Host")).toString(),
            a.value(QLatin1String("ProductType")).toString(),
            a.value(QLatin1String("ServerType")).toString(),
            a.value(QLatin1String("User")).toString(),
            a.value(QLatin1String("Password")).toString(), {} };
        c.name = xml.readElementText();
        connections.append(c);
    }
    if (xml.hasError()) {
        *error = xml.errorString();
        return {};
    }
    return connections;
}

// Every exportable device exactly once with its Host and ProductType, no
// credentials, and names that are unique and made from the host names.
QString checkExport(const QList<Connection> &connections, const QString &targetHostname)
{
    QSet<QString> names;
    for (const Connection &c : connections) {
        if (c.serverType != QLatin1String("1") || !c.user.isEmpty() || !c.password.isEmpty())
            return QStringLiteral("unexpected ServerType, User or Password for ") + c.host;
        if (names.contains(c.name))
            return QStringLiteral("connection name twice: ") + c.name;
        names.insert(c.name);
    }
    int expected = 0;
    for (const Device &d : Devices) {
        const QString hostname = &d == &Target ? targetHostname : d.hostname;
        const QString host = d.host(hostname);
        int found = 0;
        for (const Connection &c : connections) {
            if (c.host != host || c.productType != d.productType)
                continue;
            ++found;
            static const QRegularExpression suffix(QStringLiteral("^[0-9]*$"));
            if (!c.name.startsWith(hostname)
                || !suffix.match(c.name.mid(hostname.size())).hasMatch())
                return QStringLiteral("%1 is named %2").arg(d.mac, c.name);
        }
        if (found != (d.exported() ? 1 : 0))
            return QStringLiteral("%1 (Host %2) exported %3 times").arg(d.mac, host).arg(found);
        expected += d.exported() ? 1 : 0;
    }
    if (connections.size() != expected)
        return QStringLiteral("%1 connections, expected %2").arg(connections.size()).arg(expected);
    return QString();
}

int exportableCount()
{
    int count = 0;
    for (const Device &d : Devices)
        count += d.exported() ? 1 : 0;
    return count;
}

// Where the rightmost tool bar button shows its text: the About action, the
// last of the three. No window manager draws a frame, so the tool bar starts
// at the window's top edge.
QPoint aboutButton(const QImage &image)
{
    constexpr int ToolBarHeight = 38;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb background = rgb.pixel(rgb.width() - 3, 3);
    auto differs = [&](int x, int y) {
        const QRgb p = rgb.pixel(x, y);
        return qAbs(qRed(p) - qRed(background)) + qAbs(qGreen(p) - qGreen(background))
            + qAbs(qBlue(p) - qBlue(background))
            > 120;
    };
    int right = -1;
    for (int y = 0; y < qMin(ToolBarHeight, rgb.height()); ++y)
        for (int x = rgb.width() / 8; x < rgb.width() - 3; ++x)
            if (differs(x, y))
                right = qMax(right, x);
    if (right < 0)
        return QPoint(-1, -1);
    int top = ToolBarHeight;
    int bottom = -1;
    for (int y = 0; y < qMin(ToolBarHeight, rgb.height()); ++y)
        for (int x = qMax(0, right - 20); x <= right; ++x)
            if (differs(x, y)) {
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    return QPoint(right - 10, (top + bottom) / 2);
}

} // namespace

FinderEndToEndTest::FinderEndToEndTest(const QString &displayProblem)
    : displayProblem(displayProblem)
{ }

void FinderEndToEndTest::initTestCase()
{
    QDF_REQUIRE_LAB();
    QVERIFY2(displayProblem.isEmpty(), qPrintable(displayProblem));
    QVERIFY(home.isValid());

    // The program's settings, lock and socket go to this folder only.
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(
        runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    finderEnvironment = QProcessEnvironment::systemEnvironment();
    finderEnvironment.insert(QStringLiteral("HOME"), home.path());
    finderEnvironment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    finderEnvironment.insert(
        QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    finderEnvironment.insert(
        QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    finderEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    finderEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    artifacts = qEnvironmentVariable("QDF_ARTIFACTS", home.filePath(QStringLiteral("artifacts")));
    QVERIFY(QDir().mkpath(artifacts));

    QFile config(home.filePath(QStringLiteral("devices.json")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(devicesJson());
    config.close();
    simulator = std::make_unique<TestSupport::SimulatorProcess>(
        QStringList { QStringLiteral("--config"), config.fileName(), QStringLiteral("--verbose") });
    QVERIFY2(simulator->start(), qPrintable(simulator->errorText()));

    QVERIFY(startFinder(&finder));
    mainWindow = TestSupport::Xdo::waitForWindow(MainTitle);
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");
}

void FinderEndToEndTest::cleanupTestCase()
{
    finder.stop();
    simulator.reset();
}

bool FinderEndToEndTest::startFinder(TestSupport::ChildProcess *process)
{
    process->setProcessEnvironment(finderEnvironment);
    // Its warnings and any sanitizer report belong in the test's output.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(qEnvironmentVariable("QDF_FINDER"), QStringList());
    return process->waitForStarted(15000);
}

// Selects all rows and exports them to fileName. While the scan's replies
// are still arriving the file dialog offers fewer connections; it is then
// cancelled and the export tried again.
QString FinderEndToEndTest::exportAll(const QString &fileName)
{
    using namespace TestSupport;
    const QString expected
        = QStringLiteral("Export %1 connections to a file").arg(exportableCount());
    QString offered = QStringLiteral("no file dialog");
    QString dialog;
    QDeadlineTimer deadline(60000);
    while (dialog.isEmpty() && !deadline.hasExpired()) {
        if (!Xdo::focus(mainWindow)
            || !Xdo::key({ QStringLiteral("ctrl+a"), QStringLiteral("ctrl+x") }))
            return QStringLiteral("no keyboard input into the main window");
        const QString shown = Xdo::waitForWindow(SaveTitle, 4000);
        if (shown.isEmpty())
            continue;
        offered = Xdo::windowTitle(shown);
        if (offered == expected) {
            dialog = shown;
            break;
        }
        Xdo::focus(shown);
        Xdo::key({ QStringLiteral("Escape") });
        if (!Xdo::waitForNoWindow(SaveTitle))
            return QStringLiteral("the file dialog did not close");
        QTest::qWait(200);
    }
    if (dialog.isEmpty())
        return QStringLiteral("the export offered \"%1\", expected \"%2\"").arg(offered, expected);

    if (!Xdo::focus(dialog) || !Xdo::key({ QStringLiteral("ctrl+a") }) || !Xdo::type(fileName)
        || !Xdo::key({ QStringLiteral("Return") }))
        return QStringLiteral("no keyboard input into the file dialog");
    if (!Xdo::waitForNoWindow(SaveTitle))
        return QStringLiteral("the file dialog stayed open");
    const QString box = Xdo::waitForWindow(ExportedTitle);
    if (box.isEmpty())
        return QStringLiteral("no message after the export");
    if (!Xdo::focus(box) || !Xdo::key({ QStringLiteral("Return") })
        || !Xdo::waitForNoWindow(ExportedTitle))
        return QStringLiteral("the message box did not close");
    return QString();
}

// Grabs the window once it shows something (a window just mapped may not be
// painted yet) and saves it among the artefacts.
QString FinderEndToEndTest::saveScreenshot(const QString &window, const QString &fileName)
{
    QImage image;
    QDeadlineTimer deadline(10000);
    do {
        QTest::qWait(100);
        image = TestSupport::grabWindow(window);
    } while (TestSupport::isBlank(image) && !deadline.hasExpired());
    const QString path = QDir(artifacts).filePath(fileName);
    if (image.isNull() || !image.save(path))
        return QStringLiteral("could not save ") + path;
    if (TestSupport::isBlank(image))
        return QStringLiteral("blank screenshot: ") + path;
    return QString();
}

int FinderEndToEndTest::simulatorLogCount(const QString &pattern)
{
    const QRegularExpression line(pattern, QRegularExpression::MultilineOption);
    int count = 0;
    auto it = line.globalMatch(QString::fromUtf8(simulator->standardError()));
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

void FinderEndToEndTest::scan_exportsEveryDeviceOnce()
{
    using namespace TestSupport;
    QVERIFY(Xdo::focus(mainWindow));
    QVERIFY(Xdo::key({ QStringLiteral("F5") }));
    QTRY_COMPARE_WITH_TIMEOUT(
        simulatorLogCount(QStringLiteral("^request 7 .* to FF:FF:FF:FF:FF:FF length 124$")), 1,
        20000);
    QCOMPARE(
        simulatorLogCount(QStringLiteral("^request 11 .* to FF:FF:FF:FF:FF:FF length 124$")), 1);

    const QString fileName = home.filePath(QStringLiteral("scan.xml"));
    const QString exportError = exportAll(fileName);
    QVERIFY2(exportError.isEmpty(), qPrintable(exportError));
    QString error;
    const QList<Connection> connections = readExport(fileName, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = checkExport(connections, Target.hostname);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    error = saveScreenshot(mainWindow, QStringLiteral("main-window.png"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void FinderEndToEndTest::edit_authenticatedDevice_byKeyboardOnly()
{
    using namespace TestSupport;
    // First row and column, then the one device whose name starts with N.
    QVERIFY(Xdo::focus(mainWindow));
    QVERIFY(
        Xdo::key({ QStringLiteral("ctrl+Home"), QStringLiteral("n"), QStringLiteral("ctrl+e") }));
    const QString settings = Xdo::waitForWindow(SettingsTitle);
    QVERIFY2(!settings.isEmpty(), "Ctrl+E opened no settings dialog");
    QVERIFY(Xdo::focus(settings));
    const QString shotError = saveScreenshot(settings, QStringLiteral("settings-dialog.png"));
    QVERIFY2(shotError.isEmpty(), qPrintable(shotError));

    // The host name field has the focus; Apply is two steps back from it.
    QVERIFY(Xdo::key({ QStringLiteral("ctrl+a") }));
    QVERIFY(Xdo::type(NewHostname));
    QVERIFY(Xdo::key(
        { QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"), QStringLiteral("space") }));
    const QString login = Xdo::waitForWindow(LoginTitle);
    QVERIFY2(!login.isEmpty(), "Apply asked for no login");
    QVERIFY(Xdo::focus(login));
    QVERIFY(Xdo::type(Target.user));
    QVERIFY(Xdo::key({ QStringLiteral("Tab") }));
    QVERIFY(Xdo::type(Target.password));
    // "Remember password", then OK
    QVERIFY(Xdo::key({ QStringLiteral("Tab"), QStringLiteral("space"), QStringLiteral("Return") }));
    QVERIFY(Xdo::waitForNoWindow(LoginTitle));
    QVERIFY(Xdo::waitForNoWindow(SettingsTitle));

    const QString toTarget = QStringLiteral(" to ") + Target.mac + QStringLiteral(" length [0-9]+");
    QTRY_COMPARE_WITH_TIMEOUT(simulatorLogCount(QStringLiteral("^request 13 .*") + toTarget
                                  + QStringLiteral(" accepted$")),
        1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(simulatorLogCount(QStringLiteral("^request 1 .*") + toTarget
                                  + QStringLiteral(" restarted with new settings$")),
        1, 20000);
    // the only set request of the run, and the login was the typed one
    QCOMPARE(simulatorLogCount(QStringLiteral("^request (9|13) ")), 1);

    // The password was remembered once the device accepted it.
    const QString store = home.filePath(QStringLiteral("config/Korvex/Quorvel Device Finder.conf"));
    auto remembered = [&store] {
        QSettings settings(store, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("LoginData"));
        return settings.childKeys().contains(Target.mac);
    };
    QTRY_VERIFY_WITH_TIMEOUT(remembered(), 20000);

    // After the device's restart the program reads it back by itself; a new
    // scan then finds it under its new name.
    QTRY_COMPARE_WITH_TIMEOUT(
        simulatorLogCount(QStringLiteral("^request 7 .*") + toTarget + QLatin1Char('$')), 1, 30000);
    QVERIFY(Xdo::focus(mainWindow));
    QVERIFY(Xdo::key({ QStringLiteral("F5") }));
    QTRY_COMPARE_WITH_TIMEOUT(
        simulatorLogCount(QStringLiteral("^request 7 .* to FF:FF:FF:FF:FF:FF length 124$")), 2,
        20000);
    const QString fileName = home.filePath(QStringLiteral("after-edit.xml"));
    const QString exportError = exportAll(fileName);
    QVERIFY2(exportError.isEmpty(), qPrintable(exportError));
    QString error;
    const QList<Connection> connections = readExport(fileName, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = checkExport(connections, NewHostname);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void FinderEndToEndTest::secondStart_exitsWithZero_oneWindowStays()
{
    using namespace TestSupport;
    ChildProcess second;
    QVERIFY(startFinder(&second));
    QVERIFY2(second.waitForFinished(30000), "the second start is still running");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(finder.state(), QProcess::Running);

    // The first window is brought to the front, which may give it a new id.
    mainWindow = Xdo::waitForWindow(MainTitle);
    QVERIFY2(!mainWindow.isEmpty(), "not exactly one main window");
    QCOMPARE(Xdo::visibleWindows(MainTitle).size(), 1);
}

void FinderEndToEndTest::aboutBox_opensFromToolBar()
{
    using namespace TestSupport;
    // About has no shortcut: a click on its tool bar button.
    QImage image;
    QTRY_VERIFY_WITH_TIMEOUT(!isBlank(image = grabWindow(mainWindow)), 10000);
    const QPoint about = aboutButton(image);
    QVERIFY2(about.x() >= 0, "no tool bar button found");
    QVERIFY(Xdo::click(mainWindow, about.x(), about.y()));
    const QString box = Xdo::waitForWindow(AboutTitle);
    QVERIFY2(!box.isEmpty(), "the click opened no About box");
    const QString shotError = saveScreenshot(box, QStringLiteral("about-box.png"));
    QVERIFY2(shotError.isEmpty(), qPrintable(shotError));
    QVERIFY(Xdo::focus(box));
    QVERIFY(Xdo::key({ QStringLiteral("Escape") }));
    QVERIFY(Xdo::waitForNoWindow(AboutTitle));
    QCOMPARE(finder.state(), QProcess::Running);
}

int main(int argc, char **argv)
{
    // The X server must be there before the application object, which grabs
    // the screenshots from it. Outside the lab nothing starts and the test
    // skips.
    QString problem;
    QTemporaryDir scratch;
    TestSupport::VirtualDisplay display;
    bool onDisplay = false;
    if (TestSupport::insideLab()) {
        if (!scratch.isValid())
            problem = QStringLiteral("no temporary folder");
        else
            onDisplay = display.start(QStringLiteral("1280x1024x24"),
                scratch.filePath(QStringLiteral("xvfb.log")), &problem);
        // Qt wants a private runtime folder on X11.
        const QString runtime = scratch.filePath(QStringLiteral("runtime"));
        if (QDir().mkdir(runtime)
            && QFile::setPermissions(
                runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    qputenv("QT_QPA_PLATFORM", onDisplay ? "xcb" : "offscreen");
    if (onDisplay)
        qputenv("DISPLAY", display.name().toLocal8Bit());
    // Neither the test nor the program it starts meets the desktop the test
    // was started from: Qt's own dialogs and style, no session or bus.
    for (const char *name : { "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "XDG_CURRENT_DESKTOP",
             "DESKTOP_SESSION", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY" })
        qunsetenv(name);
    int result = 0;
    {
        QGuiApplication app(argc, argv);
        FinderEndToEndTest test(problem);
        result = QTest::qExec(&test, argc, argv);
    }
    return result;
}

#include "tst_finder_e2e.moc"
