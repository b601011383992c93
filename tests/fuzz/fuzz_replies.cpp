// A byte stream cut into datagrams, each put through the transceiver's
// acceptance and into the device table as if it had just arrived; then the
// settings dialog is filled from every row's stored configuration reply, as the
// edit flow does, and applied.
//
// Each datagram: two length bytes, little-endian, then the bytes. With the
// length's top bit set, the table first hears that the request this datagram
// answers went to its sender.
#include "connectiondialog.h"
#include "datagram.h"
#include "devicemodel.h"
#include "packettransceiver.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    // Qt's warnings about damaged input would come by the thousand. A broken
    // invariant is fatal: libFuzzer takes the abort for a crash and keeps the input.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "invariant broken: %s\n", qPrintable(text));
    });
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char *arguments[] = { (*argv)[0], nullptr };
    // Kept to the end: Qt's font caches leak when the application is destroyed.
    new QApplication(argc, arguments);
    static TestSupport::TemporarySettings settings;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static auto *dialog = new ConnectionDialog(false, nullptr);
    DeviceModel model;
    for (size_t at = 0; at + 2 <= size;) {
        const int head = data[at] | data[at + 1] << 8;
        const size_t length = qMin(size_t(head & 0x7FFF), size - at - 2);
        const QByteArray datagram(reinterpret_cast<const char *>(data + at + 2), int(length));
        at += 2 + length;
        if (PacketTransceiver::acceptance(datagram, QStringLiteral("02:00:00:00:00:01"))
            != PacketTransceiver::Acceptance::Deliver)
            continue;
        if (head & 0x8000)
            model.onDeviceRequestSent(
                Datagram::messageId(datagram) - 1, Datagram::srcMacAddr(datagram));
        model.onDeviceReplyReceived(datagram);
        // One row per device, however the sender writes its MAC.
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex mac = model.index(row, DeviceModel::ColumnMacAddress);
            if (model.findRow(mac.data().toString()) != row)
                qFatal("one device in two rows");
        }
    }
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex mac = model.index(row, DeviceModel::ColumnMacAddress);
        dialog->setConfiguration(mac.data(DeviceModel::RawConfigRole).toByteArray());
        dialog->applyButton->click();
    }
    return 0;
}
