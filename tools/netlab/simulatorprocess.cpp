#include "simulatorprocess.h"

namespace NetLab {

SimulatorProcess::SimulatorProcess(const QStringList &arguments)
    : arguments(arguments)
{ }

SimulatorProcess::~SimulatorProcess()
{
    terminate();
    if (!waitForFinished(5000))
        kill();
    waitForFinished(5000);
}

bool SimulatorProcess::start(int timeoutMs)
{
    const QString ns = qEnvironmentVariable("QDF_LAB_DEVICE_NS");
    const QString simulator = qEnvironmentVariable("QDF_DEVICESIM");
    if (ns.isEmpty() || simulator.isEmpty()) {
        error = QStringLiteral("QDF_LAB_DEVICE_NS and QDF_DEVICESIM must be set (ctest does)");
        return false;
    }
    // setpriv sets the death signal, then it and ip replace themselves with the
    // simulator, so this process is its parent. A child-process hook would do
    // the same, but Qt 5 and Qt 6 spell that differently.
    QProcess::start(QStringLiteral("setpriv"),
        QStringList { QStringLiteral("--pdeathsig"), QStringLiteral("KILL"), QStringLiteral("ip"),
            QStringLiteral("netns"), QStringLiteral("exec"), ns, simulator }
            + arguments);
    while (!canReadLine() && waitForReadyRead(timeoutMs)) { }
    const QByteArray line = readLine().trimmed();
    if (line != "ready")
        error = QStringLiteral("the simulator did not come up: %1 %2")
                    .arg(QString::fromUtf8(line), QString::fromUtf8(readAllStandardError()));
    return line == "ready";
}

} // namespace NetLab
