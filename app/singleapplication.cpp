#include "singleapplication.h"

#include "singleinstance.h"

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
    , instance(new SingleInstance(SingleInstance::defaultIdentity(), this))
{
    connect(instance, &SingleInstance::messageReceived, this, &SingleApplication::messageReceived);
}

SingleApplication::~SingleApplication() = default;

bool SingleApplication::isRunning()
{
    return instance->isRunning();
}

bool SingleApplication::sendMessage(const QString &message, int timeout)
{
    return instance->sendMessage(message, timeout);
}

void SingleApplication::setActivationWindow(QWidget *aw, bool activateOnMessage)
{
    instance->setActivationWindow(aw, activateOnMessage);
}
