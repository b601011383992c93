#include "simulatorprocess.h"

#include <QDeadlineTimer>

namespace TestSupport {

SimulatorProcess::SimulatorProcess(const QStringList &arguments)
    : arguments(arguments)
{ }

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

bool SimulatorProcess::start(int timeoutMs)
{
    const QString ns = qEnvironmentVariable("QDF_LAB_DEVICE_NS");
    const QString sim = qEnvironmentVariable("QDF_DEVICESIM");
    if (ns.isEmpty() || sim.isEmpty()) {
        error
            = QStringLiteral("QDF_LAB_DEVICE_NS and QDF_DEVICESIM must be set (run through ctest)");
        return false;
    }
    process.start(QStringLiteral("ip"),
        QStringList { QStringLiteral("netns"), QStringLiteral("exec"), ns, sim } + arguments);
    if (!process.waitForStarted(timeoutMs)) {
        error = QStringLiteral("could not start the simulator: ") + process.errorString();
        return false;
    }
    QByteArray line;
    if (!waitForLine(&line, timeoutMs) || line != "ready") {
        error = QStringLiteral("simulator not ready: ")
            + QString::fromUtf8(line + ' ' + standardError());
        return false;
    }
    return true;
}

bool SimulatorProcess::command(const QString &line, int timeoutMs)
{
    process.write(line.toUtf8() + '\n');
    QByteArray answer;
    if (!waitForLine(&answer, timeoutMs)) {
        error = QStringLiteral("no answer to a control command");
        return false;
    }
    if (!answer.startsWith("ok")) {
        error = QString::fromUtf8(answer);
        return false;
    }
    return true;
}

bool SimulatorProcess::waitForLine(QByteArray *line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        stdoutBuffer += process.readAllStandardOutput();
        const int newline = stdoutBuffer.indexOf('\n');
        if (newline >= 0) {
            *line = stdoutBuffer.left(newline);
            stdoutBuffer.remove(0, newline + 1);
            return true;
        }
        if (process.state() != QProcess::Running || deadline.hasExpired())
            return false;
        process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

QByteArray SimulatorProcess::standardError()
{
    stderrBuffer += process.readAllStandardError();
    return stderrBuffer;
}

void SimulatorProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace TestSupport
