#include "connectiondialog.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "mainwindow.h"
#include "modal.h"
#include "packettransceiver.h"
#include "simulatorprocess.h"
#include "testmain.h"
#include "testsupport.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// A laptop on two networks: the office link holds the default route, the
// devices are on the other one, which every request must leave through.
class TwoLinksLabTest : public QObject
{
    Q_OBJECT

private slots:
    void devicesBesideTheDefaultRoute_scanEditAndChooser()
    {
        QDF_REQUIRE_LAB();
        if (qEnvironmentVariableIsEmpty("QDF_LAB_OFFICE_NS"))
            QSKIP("needs the office link of scripts/netlab run --two-links");
        TestSupport::TemporarySettings settings;
        NetLab::SimulatorProcess simulator({ QStringLiteral("--count"), QStringLiteral("2"),
            QStringLiteral("--protocol-version"), QStringLiteral("3") });
        QVERIFY2(simulator.start(), qPrintable(simulator.errorText()));
        // The lab's device link, and an office interface with an address of the
        // same kind that the system does not know, so routing picks its link.
        const QStringList entries
            = PacketTransceiver::interfaceEntries(PacketTransceiver::systemInterfaces());
        const QString office = QStringLiteral("02:00:00:00:00:AA|192.168.88.1|office");
        auto *transceiver = new PacketTransceiver(entries + QStringList { office });
        MainWindow window(transceiver, nullptr);
        auto *model = window.findChild<DeviceModel *>();
        const auto text = [model](int n, int column) {
            const int row = model->findRow(QStringLiteral("02:00:00:00:00:0%1").arg(n));
            return model->index(row, column).data().toString();
        };

        // Every box or chooser is closed, so that a scan that finds nothing cannot hang.
        QString title, label;
        QStringList choices;
        const auto record = [&](QWidget *modal) {
            title = modal->windowTitle();
            if (auto *chooser = qobject_cast<QInputDialog *>(modal)) {
                label = chooser->labelText();
                choices = chooser->comboBoxItems();
            }
            modal->close();
        };

        QPointer<QObject> watch = TestSupport::whenModalShown(record);
        QMetaObject::invokeMethod(&window, "scan");
        for (int n : { 1, 2 })
            QTRY_COMPARE(text(n, DeviceModel::ColumnHostname), QStringLiteral("sim-%1").arg(n));
        delete watch;

        // The set request, the restart and the re-reading all have to get there.
        TestSupport::whenModalShown([](QWidget *modal) {
            auto *dialog = qobject_cast<ConnectionDialog *>(modal);
            dialog->hostnameEdit->setText(QStringLiteral("renamed"));
            dialog->applyButton->click();
        });
        QMetaObject::invokeMethod(&window, "edit",
            Q_ARG(QModelIndex,
                window.findChild<DeviceFilterModel *>()->mapFromSource(
                    model->index(model->findRow(QStringLiteral("02:00:00:00:00:02")), 0))));
        QTRY_COMPARE_WITH_TIMEOUT(
            text(2, DeviceModel::ColumnHostname), QStringLiteral("renamed"), 12000);
        QCOMPARE(text(2, DeviceModel::ColumnStatus), QStringLiteral("Device available"));

        // Through the office nothing answers: the other interface is offered.
        TestSupport::whenModalShown(record);
        transceiver->selectInterface(QStringLiteral("office"));
        QMetaObject::invokeMethod(&window, "scan");
        QTRY_COMPARE_WITH_TIMEOUT(title, QStringLiteral("Scan/Refresh"), 8000);
        QCOMPARE(label,
            QStringLiteral(
                "No device replied on 192.168.88.1.<p>Try another network interface or cancel?"));
        QCOMPARE(choices, (QStringList { "office", entries.first().section('|', 2) }));
    }
};

QDF_TEST(TwoLinksLabTest)
#include "twolinks_lab.moc"
