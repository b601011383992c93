#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// quorvel-device-cli as a script runs it, against the simulator.
class CliLabTest : public QObject
{
    Q_OBJECT

private slots:
    void listSetAndRefusal();
    void badInput_sendsNothing_data();
    void badInput_sendsNothing();
    void passwordPrompt_terminalEchoesAgain_data();
    void passwordPrompt_terminalEchoesAgain();
};

struct CliRun { int code; QByteArray out; QByteArray err; };

static CliRun cli(const QString &arguments, const QByteArray &input = {})
{
    // Its login store is the one CTest points into the build tree; it only reads it here.
    QProcess process;
    process.start(qEnvironmentVariable("QDF_CLI"), arguments.split(QLatin1Char(' ')));
    process.write(input);
    process.closeWriteChannel();
    const bool ended = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
    return { ended ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError() };
}

const char Devices[] = R"([{"mac": "02:00:00:00:00:01", "name": "=Lumaboard", "firmware": "1.6",
  "productType": "11", "protocolVersion": 3, "hostname": "one", "ipAddress": "192.168.77.110",
  "subnetMask": "255.255.255.0"}, {"mac": "02:00:00:00:00:0b", "name": "Cinaboard", "user":
  "admin", "password": "right", "firmware": "2.0", "productType": "22", "protocolVersion": 4,
  "hostname": "two", "ipAddress": "192.168.77.110", "subnetMask": "255.255.255.0"}])";
const char Listed[] = R"(01[{"conflicts":[%1],"firmware":"1.6","hostname":"one","ip":"%2",)"
    R"("ipConfig":"static","mac":"02:00:00:00:00:01","name":"=Lumaboard","productType":11,)"
    R"("protocolVersion":3,"status":"Device available"},{"conflicts":[%1],"firmware":"2.0",)"
    R"("hostname":"%3","ip":"192.168.77.110","ipConfig":"static","mac":"02:00:00:00:00:0b",)"
    R"("name":"Cinaboard","productType":22,"protocolVersion":4,"status":"Device available"}])";

void CliLabTest::listSetAndRefusal()
{
    QDF_REQUIRE_LAB();
    QTemporaryDir logins; // the store of the programs this test starts
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(logins.path()));
    QTemporaryFile config;
    QVERIFY(config.open() && config.write(Devices) > 0 && config.flush());
    NetLab::SimulatorProcess simulator(QStringList { "--config", config.fileName(), "--junk", "2", "--verbose" });
    QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
    // Exit code, lines about foreign datagrams, devices.
    auto listed = [&]() -> QString {
        const CliRun run = cli(QStringLiteral("list --json --wait 1.5"));
        return QString::number(run.code) + QString::number(run.err.count("ignoring"))
            + QString::fromUtf8(QJsonDocument::fromJson(run.out).toJson(QJsonDocument::Compact));
    };
    QCOMPARE(listed(), QString(Listed).arg("\"ip\"", "192.168.77.110", "two"));
    // Nothing was lost: the devices saw both broadcasts once and nothing more.
    QTest::qWait(300);
    const QByteArray requests = simulator.readAllStandardError();
    QVERIFY2(requests.count('\n') == 2 && requests.count("to FF:FF:FF:FF:FF:FF") == 2, requests.constData());
    QVERIFY(cli(QStringLiteral("list --csv --wait 1")).out.contains("\r\n'=Lumaboard,1.6,"));

    // The device spells its MAC in lower case, and only that spelling reaches it.
    const QString setHost2 = "set 02:00:00:00:00:0B --hostname %1 --user admin --password-stdin --json";
    const CliRun set2 = cli(setHost2.arg("renamed") + " --remember", "right\n");
    QCOMPARE(set2.code, 0);
    QVERIFY(set2.out.contains("\"hostname\": \"renamed\"") && !QByteArray(set2.out + set2.err).contains("right"));
    // A typo is refused and leaves the remembered login alone.
    const CliRun typo = cli(setHost2.arg("typo"), "wrong\n");
    QCOMPARE(typo.code, 3);
    QVERIFY(typo.err.contains(": Authorization failed\n"));
    // The leading zero goes out as the decimal it was checked as; version 3 needs no login.
    const CliRun set1 = cli("set 02:00:00:00:00:01 --ip 192.168.77.011 --user a --password-stdin", "x\n");
    QCOMPARE(set1.code, 0);
    QVERIFY(set1.out.contains("ip: 192.168.77.11\n") && set1.err.contains("Applying new"));
    QVERIFY(set1.err.contains("02:00:00:00:00:01 needs no login (protocol version 3)"));
    QCOMPARE(listed(), QString(Listed).arg("", "192.168.77.11", "renamed"));
    QCOMPARE(cli(QStringLiteral("set 02:00:00:00:00:0B --hostname two")).code, 0); // remembered
}

void CliLabTest::badInput_sendsNothing_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("malformed MAC") << "set 02:00:00:00:00 --ip 192.168.77.5";
    QTest::newRow("half an address") << "set 02:00:00:00:00:01 --ip 192.168.1.";
    QTest::newRow("DHCP and static") << "set 02:00:00:00:00:01 --dhcp --static";
    QTest::newRow("every device") << "set ff:ff:ff:ff:ff:ff --hostname x";
    QTest::newRow("password as option") << "set 02:00:00:00:00:02 --user admin --password right";
    QTest::newRow("no password, no terminal") << "set 02:00:00:00:00:02 --hostname xy --user admin";
    QTest::newRow("host name of one letter") << "set 02:00:00:00:00:01 --hostname a";
    QTest::newRow("host name ending in a hyphen") << "set 02:00:00:00:00:01 --hostname node-";
    QTest::newRow("empty host name") << "set 02:00:00:00:00:01 --hostname=";
    QTest::newRow("wait for ever") << "list --wait nan";
    QTest::newRow("a MAC for the file") << "export 02:00:00:00:00:05";
}

void CliLabTest::badInput_sendsNothing()
{
    QDF_REQUIRE_LAB();
    QFETCH(QString, arguments);
    NetLab::SimulatorProcess simulator(QStringList { "--count", "2", "--verbose" });
    QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
    const CliRun run = cli(arguments);
    QCOMPARE(run.code, 2);
    QCOMPARE(run.err.count('\n'), 1);
    QTest::qWait(300);
    QCOMPARE(simulator.readAllStandardError(), QByteArray()); // one line per request received
}

void CliLabTest::passwordPrompt_terminalEchoesAgain_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("keys"); // signals sent, or "^D" and "Enter" typed
    QTest::addColumn<int>("code"); // -1: ended by the signal
    QTest::newRow("Ctrl+C") << "" << "INT" << -1;
    QTest::newRow("Ctrl+Z, fg, hang-up") << "" << "TSTP CONT HUP" << -1;
    QTest::newRow("Ctrl+D") << "--password-stdin" << "^D" << 2;
    QTest::newRow("Enter alone") << "" << "Enter" << 2;
}

void CliLabTest::passwordPrompt_terminalEchoesAgain()
{
    QDF_REQUIRE_LAB();
    QFETCH(QString, options);
    QFETCH(QString, keys);
    QTemporaryFile config;
    QVERIFY(config.open() && config.write(Devices) > 0 && config.flush());
    NetLab::SimulatorProcess simulator(QStringList { "--config", config.fileName(), "--verbose" });
    QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const int tty = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    const auto closeAll = qScopeGuard([=] { ::close(tty), ::close(master); });
    auto echo = [tty] { termios t {}; return ::tcgetattr(tty, &t) == 0 && (t.c_lflag & ECHO); };
    QProcess process;
    process.setStandardInputFile(QString::fromLocal8Bit(::ptsname(master)));
    // A process group of its own with its parent outside it, as a shell's job is:
    // the system would ignore a stop signal sent to an orphaned group.
    process.start("python3", QStringList { "-c", "import os, sys; os.setpgid(0, 0); os.execv(sys.argv[1], sys.argv[1:])",
        qEnvironmentVariable("QDF_CLI") } + QString("set 02:00:00:00:00:0b --hostname xy --user admin " + options).split(' ', Qt::SkipEmptyParts));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError()).contains("Password for"), 10000);
    QTRY_VERIFY(!echo());
    const QHash<QString, int> signalOf { { "INT", SIGINT }, { "TSTP", SIGTSTP }, { "CONT", SIGCONT }, { "HUP", SIGHUP } };
    for (const QString &key : keys.split(' ')) {
        if (signalOf.contains(key))
            ::kill(pid_t(process.processId()), signalOf.value(key));
        else
            QCOMPARE(::write(master, key == "^D" ? "\x04" : "\n", 1), 1);
        if (key == "TSTP") // stopped with the terminal echoing, quiet again once continued
            QTRY_VERIFY(echo());
        else if (key == "CONT")
            QTRY_VERIFY(!echo());
    }
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(echo());
    QFETCH(int, code);
    QCOMPARE(process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode(), code);
    QTest::qWait(300);
    QVERIFY(!simulator.readAllStandardError().contains("request 13")); // nothing was set
}

QDF_TEST(CliLabTest)
#include "cli_lab.moc"
