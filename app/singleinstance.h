#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;
class QWidget;

// One running instance per executable, user and login session: the first start
// holds a lock file and listens on a local socket; a later start finds the lock
// taken and hands one text message to the first over that socket.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The identity defaults to one derived from the executable's path, the user
    // and the login session; tests pass their own.
    explicit SingleInstance(const QString &identity = defaultIdentity(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the identity when nobody holds it; true when another instance does.
    // Asked once, the answer is kept.
    bool isRunning();
    // Delivers the text to the running instance; true when it confirmed receipt
    // within timeout milliseconds.
    bool sendMessage(const QString &message, int timeout);

    void setActivationWindow(QWidget *aw, bool activateOnMessage = true);
    QWidget *activationWindow() const;

    QString identity() const { return id; }
    QString lockFilePath() const;
    QString serverName() const;

    // The identity of the executable at that path for this user and session.
    static QString identityFor(const QString &executablePath);
    static QString defaultIdentity();

public slots:
    // Un-minimises, raises and focuses the activation window.
    void activateWindow();

signals:
    void messageReceived(const QString &message);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    bool listen();

    QString id;
    std::unique_ptr<QLockFile> lock;
    QLocalServer *server = nullptr;
    QHash<QLocalSocket *, QByteArray> pending;
    QPointer<QWidget> window;
    bool activateOnMessage = false;
    bool checked = false;
    bool running = false;
};
