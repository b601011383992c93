#include "singleinstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A message is a 32-bit big-endian length and that many UTF-8 bytes; the
// receiver confirms it with one byte. Anything longer is not one of ours.
constexpr quint32 MaxMessageBytes = 64 * 1024;
constexpr char Ack = '\x06';

#ifdef Q_OS_UNIX
// A folder that others can write to would let them take our names first, or
// swap what we find there.
bool isPrivateFolder(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

bool belongsToOthers(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid != ::getuid();
}
#endif

// Empty where no folder of the user's alone can be had.
QString runtimeFolder()
{
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    // Without a runtime folder (ssh -X, su): one of our own in the shared temp
    // folder, unless someone else got that name first.
    const QString own = QDir::tempPath() + QStringLiteral("/quorvel-device-finder-")
        + QString::number(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
#else
    return QDir::tempPath();
#endif
}

QByteArray loginSession()
{
    QByteArray session = qgetenv("XDG_SESSION_ID");
#ifdef Q_OS_LINUX
    if (session.isEmpty()) {
        // The kernel's audit session id survives where the desktop sets no variable.
        QFile file(QStringLiteral("/proc/self/sessionid"));
        if (file.open(QIODevice::ReadOnly))
            session = file.readAll().trimmed();
    }
#endif
#ifdef Q_OS_WIN
    if (session.isEmpty())
        session = qgetenv("SESSIONNAME");
#endif
    return session;
}

QByteArray userId()
{
#ifdef Q_OS_UNIX
    return QByteArray::number(uint(::getuid()));
#else
    return qgetenv("USERDOMAIN") + '\\' + qgetenv("USERNAME");
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &identity, QObject *parent)
    : QObject(parent)
    , id(identity)
{ }

SingleInstance::~SingleInstance()
{
    if (server)
        server->close();
}

QString SingleInstance::defaultIdentity()
{
    return identityFor(QCoreApplication::applicationFilePath());
}

QString SingleInstance::identityFor(const QString &executablePath)
{
    QString path = executablePath;
#ifdef Q_OS_WIN
    path = path.toLower();
#endif
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(path.toUtf8());
    hash.addData(QByteArray("\n" + userId() + "\n" + loginSession()));
    return QStringLiteral("quorvel-device-finder-")
        + QString::fromLatin1(hash.result().toHex().left(16));
}

QString SingleInstance::lockFilePath() const
{
    return runtimeFolder() + QLatin1Char('/') + id + QStringLiteral(".lock");
}

QString SingleInstance::serverName() const
{
#ifdef Q_OS_WIN
    return id;
#else
    return runtimeFolder() + QLatin1Char('/') + id + QStringLiteral(".socket");
#endif
}

bool SingleInstance::isRunning()
{
    if (checked)
        return running;
    checked = true;
    // Without a safe place for the lock this start cannot tell; better two
    // windows than none.
    if (runtimeFolder().isEmpty())
        return running = false;

    lock = std::make_unique<QLockFile>(lockFilePath());
    // Age alone never makes the lock stale: a long-running first instance keeps
    // it. A crashed one is found out by the owner check of QLockFile.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        listen();
        return running = false;
    }
    // Only a lock held by a live process means another instance; a lock that
    // cannot be made at all (no permission, no space) must not keep the
    // program from starting.
    running = lock->error() == QLockFile::LockFailedError;
#ifdef Q_OS_UNIX
    // A lock or socket of another user (root can write anywhere) is no
    // instance of ours, and its socket is not ours to take over.
    running = running && !belongsToOthers(lockFilePath()) && !belongsToOthers(serverName());
#endif
    if (!running)
        lock.reset();
    return running;
}

bool SingleInstance::listen()
{
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket left under this name is a crashed
    // instance's.
    QLocalServer::removeServer(serverName());
    if (!server->listen(serverName()))
        return false;
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        pending.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            pending.remove(socket);
            socket->deleteLater();
        });
        onReadyRead(socket);
    }
}

void SingleInstance::onReadyRead(QLocalSocket *socket)
{
    auto it = pending.find(socket);
    if (it == pending.end())
        return;
    QByteArray &buffer = it.value();
    buffer += socket->readAll();
    if (buffer.size() < 4)
        return;
    quint32 length = 0;
    {
        QDataStream in(buffer);
        in >> length;
    }
    if (length > MaxMessageBytes) {
        pending.erase(it);
        socket->abort();
        return;
    }
    if (quint32(buffer.size()) < 4 + length)
        return;
    const QString message = QString::fromUtf8(buffer.mid(4, int(length)));
    pending.erase(it);
    socket->write(&Ack, 1);
    socket->flush();
    if (activateOnMessage)
        activateWindow();
    emit messageReceived(message);
}

bool SingleInstance::sendMessage(const QString &message, int timeout)
{
    const QByteArray text = message.toUtf8();
    if (quint32(text.size()) > MaxMessageBytes)
        return false;
    QByteArray frame;
    {
        QDataStream out(&frame, QIODevice::WriteOnly);
        out << quint32(text.size());
    }
    frame += text;

    QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    // The first instance may hold the lock but not listen yet: keep trying.
    forever
    {
        socket.connectToServer(serverName());
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char reply = 0;
    return socket.read(&reply, 1) == 1 && reply == Ack;
}

void SingleInstance::setActivationWindow(QWidget *aw, bool activateOnMessage)
{
    window = aw;
    this->activateOnMessage = activateOnMessage;
}

QWidget *SingleInstance::activationWindow() const
{
    return window;
}

void SingleInstance::activateWindow()
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}
