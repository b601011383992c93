#include "scancycle.h"

#include "datagram.h"
#include "devicemodel.h"
#include "devicestatus.h"
#include "packettransceiver.h"

#include <QTimer>

namespace {

constexpr int BroadcastPauseMs = 100;
// The answers have died down once none has been handed on for this long. A
// burst still being handed on is not over, so a slow table never passes for
// loss; a flood that never dies down gets nothing sent on its account.
constexpr int QuietMs = 100;
constexpr int QuietPollMs = 20;
// Eight re-asks every 2 ms: four answers a millisecond, a few hundred bytes
// each, are nothing to even a small socket buffer.
constexpr int PacerIntervalMs = 2;
constexpr int ReasksPerTick = 8;
// Bounds the traffic for rows that no re-ask can complete (a device that
// answers only one request, forged rows).
constexpr int MaxReaskRounds = 8;

} // namespace

ScanCycle::ScanCycle(PacketTransceiver *transceiver, DeviceModel *model, QObject *parent)
    : QObject(parent)
    , transceiver(transceiver)
    , model(model)
    , checkTimer(new QTimer(this))
    , quietPoll(new QTimer(this))
    , pacer(new QTimer(this))
{
    checkTimer->setSingleShot(true);
    quietPoll->setInterval(QuietPollMs);
    pacer->setInterval(PacerIntervalMs);
    pacer->setTimerType(Qt::PreciseTimer);
    connect(checkTimer, &QTimer::timeout, this, &ScanCycle::check);
    connect(quietPoll, &QTimer::timeout, this, &ScanCycle::pollQuiet);
    connect(pacer, &QTimer::timeout, this, &ScanCycle::sendSomeReasks);
    connect(transceiver, &PacketTransceiver::replyReceived, this, [this] { sinceReply.restart(); });
}

void ScanCycle::start(int checkMs)
{
    quietPoll->stop();
    pacer->stop();
    reasks.clear();
    secondRound = false;
    reaskRounds = 0;
    model->setRowCount(0);
    dropsAtStart = transceiver->droppedCount();
    broadcast();
    checkTimer->start(checkMs);
    waitForQuiet();
}

bool ScanCycle::isRunning() const
{
    return checkTimer->isActive();
}

void ScanCycle::broadcast()
{
    const QString everyDevice = QString::fromLatin1(Datagram::BroadcastMac);
    // Only the scan's first request opens it to a new stray datagram notice.
    if (secondRound)
        transceiver->sendRequest(Datagram::GetDeviceInfo, everyDevice, QByteArray());
    else
        transceiver->getDeviceInfo(everyDevice);
    // Replies that come meanwhile are handed on once the event loop runs again.
    transceiver->pause(BroadcastPauseMs);
    transceiver->getNetworkConfig(everyDevice);
}

void ScanCycle::waitForQuiet()
{
    sinceWaitStarted.start();
    if (!sinceReply.isValid())
        sinceReply.start();
    quietPoll->start();
}

void ScanCycle::pollQuiet()
{
    if (sinceWaitStarted.elapsed() < QuietMs || sinceReply.elapsed() < QuietMs)
        return;
    quietPoll->stop();
    review();
}

void ScanCycle::review()
{
    QVector<QPair<int, QString>> missing;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex macCell = model->index(row, DeviceModel::ColumnMacAddress);
        const bool info = macCell.data(DeviceModel::ProductTypeRole).isValid();
        const bool config = macCell.data(DeviceModel::RawConfigRole).isValid();
        if (info != config)
            missing.append(
                qMakePair(int(info ? Datagram::GetNetworkConfig : Datagram::GetDeviceInfo),
                    macCell.data().toString()));
    }
    // Devices whose replies were all lost can only be found by broadcasting again.
    if (!secondRound && (!missing.isEmpty() || transceiver->droppedCount() != dropsAtStart)) {
        secondRound = true;
        broadcast();
        waitForQuiet();
        return;
    }
    if (missing.isEmpty() || reaskRounds >= MaxReaskRounds)
        return;
    ++reaskRounds;
    reasks = missing;
    pacer->start();
}

void ScanCycle::sendSomeReasks()
{
    for (int sent = 0; sent < ReasksPerTick && !reasks.isEmpty(); ++sent) {
        const QPair<int, QString> reask = reasks.takeLast();
        transceiver->sendRequest(reask.first, reask.second, QByteArray());
    }
    if (!reasks.isEmpty())
        return;
    pacer->stop();
    waitForQuiet();
}

void ScanCycle::check()
{
    quietPoll->stop();
    pacer->stop();
    reasks.clear();
    // Replies read in time count, even where the window had no turn to take them yet.
    transceiver->deliverQueued();
    const InformationIncomplete incomplete;
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = DeviceModel::ColumnDeviceName; column <= DeviceModel::ColumnMacAddress;
             ++column) {
            if (model->index(row, column).data().toString().isEmpty()) {
                model->setStatus(
                    model->index(row, DeviceModel::ColumnMacAddress).data().toString(), incomplete);
                break;
            }
        }
    }
    emit checked();
}
