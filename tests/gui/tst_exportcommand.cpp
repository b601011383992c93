#include "devicemodel.h"
#include "devicereplies.h"
#include "devicetableview.h"
#include "mainwindow.h"
#include "mainwindowtester.h"
#include "modal.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Row {
    QString mac;
    QString name;     // null: no device information reply
    QString hostname; // null: no network configuration reply
    QString ip;
    QString dhcp;
    quint32 configStatus;
};

struct Connection {
    QStringList attributeNames;
    QStringList attributeValues;
    QString name;
};

QList<Connection> parse(const QString &fileName, QString *version, QString *encoding)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    QList<Connection> connections;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartDocument()) {
            *version = xml.documentVersion().toString();
            *encoding = xml.documentEncoding().toString();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("connection")) {
            Connection c;
            for (const QXmlStreamAttribute &a : xml.attributes()) {
                c.attributeNames << a.name().toString();
                c.attributeValues << a.value().toString();
            }
            c.name = xml.readElementText();
            connections << c;
        } else if (xml.isStartElement() && xml.name() != QLatin1String("export")) {
            return {};
        }
    }
    return xml.hasError() ? QList<Connection>() : connections;
}

} // namespace

class tst_ExportCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void export_writesSelectedDevicesInSelectionOrder();
    void export_dropsIncompleteAndQuorvelRows();
    void export_onlyQuorvelRowsOpensNoDialog();
    void export_cancelledDialogWritesAndShowsNothing();
    void export_unwritablePathReportsZero();
    void export_replacesAnExistingFile();

private:
    void addRows(const QList<Row> &rows);
    void select(const QList<int> &rows);
    // Runs the export; answers the file dialog with `fileName` (empty: cancel)
    // and returns the text of the box that follows, or a null text.
    QString runExport(const QString &fileName, int *dialogs = nullptr);

    TestSupport::TemporarySettings settings;
    std::unique_ptr<QTemporaryDir> folder; // fresh for every case
    QDir dir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowTester> tester;
};

void tst_ExportCommand::init()
{
    folder = std::make_unique<QTemporaryDir>();
    dir.setPath(folder->path());
    window = std::make_unique<MainWindow>();
    tester = std::make_unique<MainWindowTester>(*window);
}

void tst_ExportCommand::cleanup()
{
    tester.reset();
    window.reset();
}

void tst_ExportCommand::addRows(const QList<Row> &rows)
{
    DeviceModel *model = tester->deviceModel();
    for (const Row &r : rows) {
        if (!r.name.isNull())
            model->onDeviceReplyReceived(DeviceReplies::deviceInfo(r.mac, 0, QStringLiteral("12"),
                                                                   QStringLiteral("1.0"), r.name));
        if (!r.hostname.isNull())
            model->onDeviceReplyReceived(
                DeviceReplies::networkConfig(r.mac, r.configStatus, r.hostname, r.ip, r.dhcp));
    }
}

void tst_ExportCommand::select(const QList<int> &rows)
{
    QItemSelectionModel *selection = tester->deviceView()->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(tester->deviceModel()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString tst_ExportCommand::runExport(const QString &fileName, int *dialogs)
{
    QString boxText;
    int shown = 0;
    QPointer<QObject> watcher = TestSupport::whenModalShown([&](QWidget *modal) {
        ++shown;
        auto *fileDialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(fileDialog);
        if (fileName.isEmpty()) {
            fileDialog->reject();
            return;
        }
        fileDialog->selectFile(fileName);
        // A replaced file is confirmed first; the box with the count follows.
        std::function<void(QWidget *)> answerBox = [&](QWidget *box) {
            ++shown;
            auto *messageBox = qobject_cast<QMessageBox *>(box);
            QVERIFY(messageBox);
            if (messageBox->standardButtons() & QMessageBox::Yes) {
                TestSupport::whenModalShown(answerBox, box);
                messageBox->button(QMessageBox::Yes)->click();
                return;
            }
            QCOMPARE(messageBox->windowTitle(), QStringLiteral("Export connections"));
            boxText = messageBox->text();
            messageBox->accept();
        };
        TestSupport::whenModalShown(answerBox, fileDialog);
        static_cast<QDialog *>(fileDialog)->accept(); // QFileDialog::accept is protected
    });
    tester->exportConnectionsToXml();
    delete watcher;
    if (dialogs)
        *dialogs = shown;
    return boxText;
}

void tst_ExportCommand::export_writesSelectedDevicesInSelectionOrder()
{
    addRows({
        {"02:00:00:00:00:01", "Cinaboard-M4", "H", "192.168.77.11", "0", 0},
        {"02:00:00:00:00:02", "Cinaboard-M4", "H", "192.168.77.12", "1", 0},
        {"02:00:00:00:00:03", "Netaboard-M3", "h", "192.168.77.13", "0", 0},
        {"02:00:00:00:00:04", "Netaboard-M3", "H", "192.168.77.14", "0", 0},
        {"02:00:00:00:00:05", "Lumaboard-III", "x", "", "0", 0x80000001u},
    });
    select({3, 0, 2, 1, 4});
    const QString fileName = dir.filePath(QStringLiteral("plant.xml"));
    QCOMPARE(runExport(fileName), QStringLiteral("5 connection(s) exported to %1").arg(fileName));

    QString version, encoding;
    const QList<Connection> connections = parse(fileName, &version, &encoding);
    QCOMPARE(version, QStringLiteral("1.0"));
    QCOMPARE(encoding, QStringLiteral("UTF-8"));
    QCOMPARE(connections.size(), 5);
    const QStringList order{"Host", "ProductType", "ServerType", "Port", "UploadSubfolder", "User", "Password"};
    for (const Connection &c : connections)
        QCOMPARE(c.attributeNames, order);

    QCOMPARE(connections[0].attributeValues,
             (QStringList{"192.168.77.14", "12", "1", "", "", "", ""}));
    QCOMPARE(connections[0].name, QStringLiteral("H"));
    QCOMPARE(connections[1].attributeValues.first(), QStringLiteral("192.168.77.11"));
    QCOMPARE(connections[1].name, QStringLiteral("H2"));
    QCOMPARE(connections[2].name, QStringLiteral("h"));
    QCOMPARE(connections[3].attributeValues.first(), QStringLiteral("H")); // DHCP: by host name
    QCOMPARE(connections[3].name, QStringLiteral("H3"));
    QCOMPARE(connections[4].attributeValues.first(), QStringLiteral("N/A"));
    QCOMPARE(connections[4].name, QStringLiteral("N/A"));
}

void tst_ExportCommand::export_dropsIncompleteAndQuorvelRows()
{
    addRows({
        {"02:00:00:00:00:01", QString(), "only-config", "192.168.77.11", "0", 0},
        {"02:00:00:00:00:02", "Cinaboard-IV", QString(), QString(), QString(), 0},
        {"02:00:00:00:00:03", "QuorvelNET-III", "net", "192.168.77.13", "0", 0},
        {"02:00:00:00:00:04", "Quorvel Gate", "gate", "192.168.77.14", "0", 0},
        {"02:00:00:00:00:05", "", "unnamed", "192.168.77.15", "0", 0},
    });
    select({0, 1, 2, 3, 4});
    const QString fileName = dir.filePath(QStringLiteral("some.xml"));
    QCOMPARE(runExport(fileName), QStringLiteral("1 connection(s) exported to %1").arg(fileName));
    QString version, encoding;
    const QList<Connection> connections = parse(fileName, &version, &encoding);
    QCOMPARE(connections.size(), 1);
    QCOMPARE(connections[0].name, QStringLiteral("unnamed")); // an empty name counts as written
}

void tst_ExportCommand::export_onlyQuorvelRowsOpensNoDialog()
{
    addRows({{"02:00:00:00:00:01", "QuorvelNET-4.3", "a", "192.168.77.11", "0", 0},
             {"02:00:00:00:00:02", "Quorvel Gate", "b", "192.168.77.12", "0", 0}});
    select({0, 1});
    int dialogs = -1;
    QVERIFY(runExport(dir.filePath(QStringLiteral("never.xml")), &dialogs).isNull());
    QCOMPARE(dialogs, 0);
    QVERIFY(dir.isEmpty());
}

void tst_ExportCommand::export_cancelledDialogWritesAndShowsNothing()
{
    addRows({{"02:00:00:00:00:01", "Cinaboard-M4", "a", "192.168.77.11", "0", 0}});
    select({0});
    int dialogs = -1;
    QVERIFY(runExport(QString(), &dialogs).isNull());
    QCOMPARE(dialogs, 1);
    QVERIFY(dir.isEmpty());
}

void tst_ExportCommand::export_unwritablePathReportsZero()
{
    addRows({{"02:00:00:00:00:01", "Cinaboard-M4", "a", "192.168.77.11", "0", 0}});
    select({0});
    // A folder that does not exist cannot be written to, not even by root.
    const QString fileName = dir.filePath(QStringLiteral("missing/plant.xml"));
    QCOMPARE(runExport(fileName), QStringLiteral("0 connection(s) exported to %1").arg(fileName));
    QVERIFY(!QFile::exists(fileName));
}

void tst_ExportCommand::export_replacesAnExistingFile()
{
    const QString fileName = dir.filePath(QStringLiteral("old.xml"));
    {
        QFile old(fileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4096, 'x'));
    }
    addRows({{"02:00:00:00:00:01", "Cinaboard-M4", "a", "192.168.77.11", "0", 0}});
    select({0});
    QCOMPARE(runExport(fileName), QStringLiteral("1 connection(s) exported to %1").arg(fileName));
    QString version, encoding;
    QCOMPARE(parse(fileName, &version, &encoding).size(), 1);
}

QTEST_MAIN(tst_ExportCommand)
#include "tst_exportcommand.moc"
