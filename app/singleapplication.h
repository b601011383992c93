#pragma once

#include <QApplication>

class SingleInstance;

// The program's application object: a QApplication that knows whether another
// instance of the same executable already runs in this user's login session.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(int &argc, char **argv);
    ~SingleApplication() override;

    bool isRunning();
    bool sendMessage(const QString &message, int timeout);
    void setActivationWindow(QWidget *aw, bool activateOnMessage = true);

signals:
    void messageReceived(const QString &message);

private:
    SingleInstance *instance;
};
