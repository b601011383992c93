#pragma once

#include <QProcess>

namespace TestSupport {

// A process that dies with the test: should the test crash, the kernel ends
// it too instead of leaving it behind.
class ChildProcess : public QProcess
{
    Q_OBJECT

public:
    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;
    // terminate(), and kill() when that has not ended it within a few seconds.
    void stop();

protected:
    void setupChildProcess() override;
};

} // namespace TestSupport
