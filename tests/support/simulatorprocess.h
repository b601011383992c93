#pragma once

#include "childprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TestSupport {

// quorvel-device-sim on the device side of the lab. start() waits for its
// "ready" line; the destructor ends it and waits for it.
class SimulatorProcess final
{
public:
    explicit SimulatorProcess(const QStringList &arguments);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    // False with the reason in errorText() when the simulator did not come up.
    [[nodiscard]] bool start(int timeoutMs = 15000);
    // Sends one --control command and waits for its answer line; true on "ok".
    [[nodiscard]] bool command(const QString &line, int timeoutMs = 10000);
    void stop();

    QString errorText() const { return error; }
    // Everything the simulator wrote on stderr so far (its --verbose log).
    QByteArray standardError();

private:
    bool waitForLine(QByteArray *line, int timeoutMs);

    QStringList arguments;
    ChildProcess process;
    QByteArray stdoutBuffer;
    QByteArray stderrBuffer;
    QString error;
};

} // namespace TestSupport
