#pragma once

#include <QProcess>
#include <QStringList>

namespace NetLab {

// quorvel-device-sim ($QDF_DEVICESIM) on the device side of the lab, for the
// network tests and the benchmarks. It ends with the object, and with the
// process that started it should that die first.
class SimulatorProcess final : public QProcess
{
public:
    explicit SimulatorProcess(const QStringList &arguments);
    ~SimulatorProcess() override;

    // Starts it and waits for its "ready" line; false with errorText() otherwise.
    [[nodiscard]] bool start(int timeoutMs = 15000);
    QString errorText() const { return error; }

private:
    QStringList arguments;
    QString error;
};

} // namespace NetLab
