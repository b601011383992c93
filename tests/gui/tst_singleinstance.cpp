#include "singleinstance.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <future>

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // In one process
    void firstTakesIdentity_secondFindsItRunning();
    void differentIdentities_bothRun();
    void message_reachesFirstAndIsConfirmed();
    void message_unminimisesActivationWindow();
    void message_withoutRunningInstance_failsWithinTimeout();
    void oversizedFrame_isDroppedWithoutMessage();
    void crashedOwner_leftoversAreRecovered();

    // The real program
    void secondStart_exitsAtOnceWithZero_firstKeepsRunning();
    void afterFirstIsKilled_nextStartBecomesFirst();

private:
    QString uniqueIdentity();
    // Sends from another thread: the receiving side needs this thread's event loop.
    std::future<bool> sendAsync(const QString &identity, const QString &message, int timeout);
    QProcess *startFinder();
    bool finderAnswers(int timeout);

    QTemporaryDir runtimeDir;
    QTemporaryDir homeDir;
    QString finder;
    int counter = 0;
};

void SingleInstanceTest::initTestCase()
{
    QVERIFY(runtimeDir.isValid());
    QVERIFY(homeDir.isValid());
    // Locks and sockets of this test never meet those of a program the user runs.
    QFile::setPermissions(runtimeDir.path(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    finder = qEnvironmentVariable("QDF_FINDER");
}

QString SingleInstanceTest::uniqueIdentity()
{
    return QStringLiteral("tst-singleinstance-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

std::future<bool> SingleInstanceTest::sendAsync(
    const QString &identity, const QString &message, int timeout)
{
    return std::async(std::launch::async, [identity, message, timeout] {
        SingleInstance sender(identity);
        return sender.sendMessage(message, timeout);
    });
}

void SingleInstanceTest::firstTakesIdentity_secondFindsItRunning()
{
    const QString id = uniqueIdentity();
    SingleInstance first(id);
    QVERIFY(!first.isRunning());
    QVERIFY(!first.isRunning());
    SingleInstance second(id);
    QVERIFY(second.isRunning());
}

void SingleInstanceTest::differentIdentities_bothRun()
{
    // Copies in two folders: the path is part of the identity.
    QVERIFY(SingleInstance::identityFor(QStringLiteral("/opt/a/quorvel-device-finder"))
        != SingleInstance::identityFor(QStringLiteral("/opt/b/quorvel-device-finder")));
    QCOMPARE(SingleInstance::identityFor(QStringLiteral("/opt/a/quorvel-device-finder")),
        SingleInstance::identityFor(QStringLiteral("/opt/a/quorvel-device-finder")));

    SingleInstance a(uniqueIdentity());
    SingleInstance b(uniqueIdentity());
    QVERIFY(!a.isRunning());
    QVERIFY(!b.isRunning());
}

void SingleInstanceTest::message_reachesFirstAndIsConfirmed()
{
    const QString id = uniqueIdentity();
    SingleInstance first(id);
    QVERIFY(!first.isRunning());
    QSignalSpy spy(&first, &SingleInstance::messageReceived);

    auto sent = sendAsync(id, QStringLiteral("..."), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("..."));
    QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(sent.get());

    // Each start sends again; every message arrives.
    auto again = sendAsync(id, QStringLiteral("..."), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
    QTRY_VERIFY(again.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(again.get());
}

void SingleInstanceTest::message_unminimisesActivationWindow()
{
    const QString id = uniqueIdentity();
    SingleInstance first(id);
    QVERIFY(!first.isRunning());
    QWidget window;
    window.showMinimized();
    QVERIFY(window.windowState() & Qt::WindowMinimized);
    first.setActivationWindow(&window, true);
    QCOMPARE(first.activationWindow(), &window);
    QSignalSpy spy(&first, &SingleInstance::messageReceived);

    auto sent = sendAsync(id, QStringLiteral("..."), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QVERIFY(!(window.windowState() & Qt::WindowMinimized));
    QVERIFY(window.isVisible());
    QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(sent.get());

    // Without activation on message the window is left alone.
    window.showMinimized();
    first.setActivationWindow(&window, false);
    auto quiet = sendAsync(id, QStringLiteral("..."), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
    QVERIFY(window.windowState() & Qt::WindowMinimized);
    QTRY_VERIFY(quiet.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(quiet.get());
}

void SingleInstanceTest::message_withoutRunningInstance_failsWithinTimeout()
{
    SingleInstance lonely(uniqueIdentity());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!lonely.sendMessage(QStringLiteral("..."), 300));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

void SingleInstanceTest::oversizedFrame_isDroppedWithoutMessage()
{
    const QString id = uniqueIdentity();
    SingleInstance first(id);
    QVERIFY(!first.isRunning());
    QSignalSpy spy(&first, &SingleInstance::messageReceived);

    QLocalSocket intruder;
    intruder.connectToServer(first.serverName());
    QVERIFY(intruder.waitForConnected(2000));
    intruder.write(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(64, 'x'));
    intruder.flush();
    QTRY_COMPARE(intruder.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(spy.count(), 0);

    // The guard still serves honest senders afterwards.
    auto sent = sendAsync(id, QStringLiteral("..."), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(sent.get());
}

void SingleInstanceTest::crashedOwner_leftoversAreRecovered()
{
    const QString id = uniqueIdentity();
    SingleInstance probe(id);

    // A lock file naming a process that has ended, and a socket file nobody
    // listens on: what a killed instance leaves behind.
    QProcess gone;
    gone.start(QStringLiteral("true"), QStringList());
    QVERIFY(gone.waitForFinished(5000));
    const qint64 deadPid = gone.processId() ? gone.processId() : 999999;
    QFile lock(probe.lockFilePath());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\nquorvel-device-finder\n"
        + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    QFile socketFile(probe.serverName());
    QVERIFY(socketFile.open(QIODevice::WriteOnly));
    socketFile.close();

    SingleInstance next(id);
    QVERIFY(!next.isRunning());
    QSignalSpy spy(&next, &SingleInstance::messageReceived);
    auto sent = sendAsync(id, QStringLiteral("..."), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QTRY_VERIFY(sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(sent.get());
}

QProcess *SingleInstanceTest::startFinder()
{
    auto *process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), homeDir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(finder, QStringList());
    return process;
}

bool SingleInstanceTest::finderAnswers(int timeout)
{
    const QString id = SingleInstance::identityFor(QFileInfo(finder).canonicalFilePath());
    auto sent = sendAsync(id, QStringLiteral("..."), timeout);
    while (sent.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return sent.get();
}

void SingleInstanceTest::secondStart_exitsAtOnceWithZero_firstKeepsRunning()
{
    if (finder.isEmpty())
        QSKIP("QDF_FINDER names no program (ctest sets it)");
    QProcess *first = startFinder();
    QVERIFY(first->waitForStarted(5000));
    QVERIFY2(finderAnswers(10000), "the first instance never listened");

    QElapsedTimer clock;
    clock.start();
    QProcess *second = startFinder();
    QVERIFY(second->waitForFinished(5000));
    const qint64 took = clock.elapsed();
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    qInfo("second start ended after %lld ms", took);

    QCOMPARE(first->state(), QProcess::Running);
    QVERIFY(finderAnswers(5000));
    first->kill();
    QVERIFY(first->waitForFinished(5000));
}

void SingleInstanceTest::afterFirstIsKilled_nextStartBecomesFirst()
{
    if (finder.isEmpty())
        QSKIP("QDF_FINDER names no program (ctest sets it)");
    QProcess *first = startFinder();
    QVERIFY(first->waitForStarted(5000));
    QVERIFY(finderAnswers(10000));
    first->kill();
    QVERIFY(first->waitForFinished(5000));

    QProcess *next = startFinder();
    QVERIFY(next->waitForStarted(5000));
    // A start that took the leftovers for a live instance would end at once.
    QVERIFY(!next->waitForFinished(1500));
    QVERIFY(finderAnswers(10000));
    QCOMPARE(next->state(), QProcess::Running);

    QProcess *third = startFinder();
    QVERIFY(third->waitForFinished(5000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
    next->kill();
    QVERIFY(next->waitForFinished(5000));
}

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
