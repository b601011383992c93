#include "connectionexport.h"

#include <QBuffer>
#include <QtTest>

using ConnectionExport::Device;

class tst_ConnectionExport : public QObject
{
    Q_OBJECT

private slots:
    void write_matchesReferenceDocument();
    void write_noDevicesGivesEmptyRoot();
    void names_madeUniqueCaseSensitively_data();
    void names_madeUniqueCaseSensitively();
    void names_stopCountingAt999();
};

void tst_ConnectionExport::write_matchesReferenceDocument()
{
    const QList<Device> devices{
        {QStringLiteral("press-1"), QStringLiteral("192.168.77.10"), QStringLiteral("static"), QStringLiteral("17")},
        {QStringLiteral("press-1"), QStringLiteral("192.168.77.11"), QStringLiteral("DHCP"), QStringLiteral("0")},
        {QStringLiteral("N/A"), QStringLiteral("N/A"), QStringLiteral("N/A"), QStringLiteral("3")},
        {QStringLiteral("a&b"), QStringLiteral("192.168.77.12"), QStringLiteral("dhcp"), QString()},
    };
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(ConnectionExport::write(&buffer, devices), 4);

    const QByteArray reference =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<export>\n"
        "    <connection Host=\"192.168.77.10\" ProductType=\"17\" ServerType=\"1\" Port=\"\" "
        "UploadSubfolder=\"\" User=\"\" Password=\"\">press-1</connection>\n"
        "    <connection Host=\"press-1\" ProductType=\"0\" ServerType=\"1\" Port=\"\" "
        "UploadSubfolder=\"\" User=\"\" Password=\"\">press-12</connection>\n"
        "    <connection Host=\"N/A\" ProductType=\"3\" ServerType=\"1\" Port=\"\" "
        "UploadSubfolder=\"\" User=\"\" Password=\"\">N/A</connection>\n"
        "    <connection Host=\"192.168.77.12\" ProductType=\"\" ServerType=\"1\" Port=\"\" "
        "UploadSubfolder=\"\" User=\"\" Password=\"\">a&amp;b</connection>\n"
        "</export>\n";
    QCOMPARE(buffer.data(), reference);
}

void tst_ConnectionExport::write_noDevicesGivesEmptyRoot()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QCOMPARE(ConnectionExport::write(&buffer, {}), 0);
    QCOMPARE(buffer.data(), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<export/>\n"));
}

void tst_ConnectionExport::names_madeUniqueCaseSensitively_data()
{
    QTest::addColumn<QStringList>("hostnames");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("three alike") << QStringList{"H", "H", "H"} << QStringList{"H", "H2", "H3"};
    QTest::newRow("letter case differs") << QStringList{"h", "H"} << QStringList{"h", "H"};
    QTest::newRow("candidate already taken") << QStringList{"H2", "H", "H"} << QStringList{"H2", "H", "H3"};
    QTest::newRow("empty names") << QStringList{"", ""} << QStringList{"", "2"};
}

void tst_ConnectionExport::names_madeUniqueCaseSensitively()
{
    QFETCH(QStringList, hostnames);
    QFETCH(QStringList, names);
    ConnectionExport::NameRegistry registry;
    QStringList taken;
    for (const QString &h : hostnames)
        taken << registry.take(h);
    QCOMPARE(taken, names);
}

void tst_ConnectionExport::names_stopCountingAt999()
{
    ConnectionExport::NameRegistry registry;
    QCOMPARE(registry.take(QStringLiteral("H")), QStringLiteral("H"));
    for (int i = 2; i <= 998; ++i)
        QCOMPARE(registry.take(QStringLiteral("H")), QStringLiteral("H%1").arg(i));
    QCOMPARE(registry.take(QStringLiteral("H")), QStringLiteral("H999"));
    QCOMPARE(registry.take(QStringLiteral("H")), QStringLiteral("H999"));
}

QTEST_GUILESS_MAIN(tst_ConnectionExport)
#include "tst_connectionexport.moc"
