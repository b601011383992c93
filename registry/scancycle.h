#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

class DeviceModel;
class PacketTransceiver;
class QTimer;

// One scan, for the window and the command line alike: empties the table,
// broadcasts both requests with a pause between them and, once the answers
// have died down, makes up for what was lost. A row with one of its two
// replies is asked again for the other by its MAC, a few requests a
// millisecond, so that the answers never come as a burst; when the first
// answers show loss, both broadcasts go out once more for the devices that
// gave no reply at all. Where nothing was lost nothing more is sent. At the
// check every reply already read is handed on and the rows still incomplete
// are marked.
class ScanCycle : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultCheckMs = 3000;

    ScanCycle(PacketTransceiver *transceiver, DeviceModel *model, QObject *parent = nullptr);

    // The transceiver must be bound. A cycle still running is given up.
    void start(int checkMs = DefaultCheckMs);
    // From the start until the check.
    bool isRunning() const;

signals:
    // Emitted at the check, once the rows still incomplete are marked.
    void checked();

private:
    void broadcast();
    void waitForQuiet();
    void pollQuiet();
    void review();
    void sendSomeReasks();
    void check();

    PacketTransceiver *transceiver;
    DeviceModel *model;
    QTimer *checkTimer;
    QTimer *quietPoll;
    QTimer *pacer;
    QElapsedTimer sinceReply;
    QElapsedTimer sinceWaitStarted;
    quint32 dropsAtStart = 0;
    bool secondRound = false;
    int reaskRounds = 0;
    // Message id and MAC of the re-asks still to send in this round.
    QVector<QPair<int, QString>> reasks;
};
