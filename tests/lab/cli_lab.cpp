#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QtTest>

// quorvel-device-cli as a script runs it, against the simulator.
class CliLabTest : public QObject
{
    Q_OBJECT

private slots:
    void listSetAndRefusal();
    void badInput_sendsNothing_data();
    void badInput_sendsNothing();
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

const char Devices[] = R"([{"mac": "02:00:00:00:00:01", "name": "Lumaboard", "firmware": "1.6",
  "productType": "11", "protocolVersion": 3, "hostname": "one", "ipAddress": "192.168.77.110",
  "subnetMask": "255.255.255.0"}, {"mac": "02:00:00:00:00:02", "name": "Cinaboard", "user":
  "admin", "password": "right", "firmware": "2.0", "productType": "22", "protocolVersion": 4,
  "hostname": "two", "ipAddress": "192.168.77.110", "subnetMask": "255.255.255.0"}])";
const char Listed[] = R"(01[{"conflicts":[%1],"firmware":"1.6","hostname":"one","ip":"%2",)"
    R"("ipConfig":"static","mac":"02:00:00:00:00:01","name":"Lumaboard","productType":11,)"
    R"("protocolVersion":3,"status":"Device available"},{"conflicts":[%1],"firmware":"2.0",)"
    R"("hostname":"%3","ip":"192.168.77.110","ipConfig":"static","mac":"02:00:00:00:00:02",)"
    R"("name":"Cinaboard","productType":22,"protocolVersion":4,"status":"Device available"}])";

void CliLabTest::listSetAndRefusal()
{
    QDF_REQUIRE_LAB();
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

    const QString setHost2 = "set 02:00:00:00:00:02 --hostname renamed --user admin --password-stdin --json";
    QCOMPARE(cli(setHost2, "wrong\n").code, 3);
    const CliRun set1 = cli(QStringLiteral("set 02:00:00:00:00:01 --ip 192.168.77.111"));
    QCOMPARE(set1.code, 0);
    QVERIFY(set1.out.contains("ip: 192.168.77.111\n") && set1.err.contains("Applying new"));
    // The refused login changed nothing; the duplicate address is gone.
    QCOMPARE(listed(), QString(Listed).arg("", "192.168.77.111", "two"));

    const CliRun set2 = cli(setHost2, "right\n");
    QCOMPARE(set2.code, 0);
    QVERIFY(set2.out.contains("\"hostname\": \"renamed\"") && !QByteArray(set2.out + set2.err).contains("right"));
}

void CliLabTest::badInput_sendsNothing_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("malformed MAC") << "set 02:00:00:00:00 --ip 192.168.77.5";
    QTest::newRow("half an address") << "set 02:00:00:00:00:01 --ip 192.168.1.";
    QTest::newRow("DHCP and static") << "set 02:00:00:00:00:01 --dhcp --static";
    QTest::newRow("every device") << "set ff:ff:ff:ff:ff:ff --hostname x";
    QTest::newRow("password as option") << "set 02:00:00:00:00:02 --user admin --password right";
    QTest::newRow("no password, no terminal") << "set 02:00:00:00:00:02 --hostname x --user admin";
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

QDF_TEST(CliLabTest)
#include "cli_lab.moc"
