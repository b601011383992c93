#include "virtualdisplay.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace TestSupport {

namespace {

constexpr int XdoTimeoutMs = 15000;
constexpr int PollIntervalMs = 50;

// True when the child has ended within timeoutMs; reaps it.
bool reaped(pid_t pid, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

} // namespace

VirtualDisplay::~VirtualDisplay()
{
    stop();
}

bool VirtualDisplay::start(const QString &geometry, const QString &logFile, QString *why)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *why = QStringLiteral("no pipe for Xvfb");
        return false;
    }
    // Everything the child needs is made before fork: after it, only plain
    // system calls.
    const QByteArray fd = QByteArray::number(fds[1]);
    const QByteArray screen = geometry.toLocal8Bit();
    const QByteArray log = QFile::encodeName(logFile);
    const char *const argv[] = { "Xvfb", "-displayfd", fd.constData(), "-nolisten", "tcp",
        "-noreset", "-screen", "0", screen.constData(), nullptr };
    const pid_t parent = ::getpid();

    pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        *why = QStringLiteral("could not fork for Xvfb");
        return false;
    }
    if (pid == 0) {
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
        if (::getppid() != parent)
            ::_exit(127);
        ::fcntl(fds[1], F_SETFD, 0);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execvp(argv[0], const_cast<char *const *>(argv));
        ::_exit(127);
    }
    ::close(fds[1]);

    // Xvfb writes the display number and a newline once it accepts clients;
    // the pipe closes without it when Xvfb gives up.
    QByteArray number;
    bool complete = false;
    QDeadlineTimer deadline(30000);
    while (!complete && !deadline.hasExpired()) {
        pollfd ready { fds[0], POLLIN, 0 };
        const int polled = ::poll(&ready, 1, int(qMax<qint64>(1, deadline.remainingTime())));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char c = 0;
        if (::read(fds[0], &c, 1) != 1)
            break;
        if (c == '\n')
            complete = true;
        else
            number += c;
    }
    ::close(fds[0]);
    bool ok = false;
    number.toInt(&ok);
    if (!complete || !ok) {
        stop();
        QFile output(logFile);
        *why = QStringLiteral("Xvfb did not start: ")
            + (output.open(QIODevice::ReadOnly)
                    ? QString::fromLocal8Bit(output.readAll().right(2000))
                    : QStringLiteral("no output"));
        return false;
    }
    display = QLatin1Char(':') + QString::fromLatin1(number);
    return true;
}

void VirtualDisplay::stop()
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    if (!reaped(pid, 5000)) {
        ::kill(pid, SIGKILL);
        reaped(pid, 5000);
    }
    pid = -1;
}

namespace Xdo {

bool run(const QStringList &arguments, QByteArray *output, QString *why)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    QString problem;
    if (!xdotool.waitForFinished(XdoTimeoutMs)) {
        problem = xdotool.error() == QProcess::FailedToStart
            ? QStringLiteral("xdotool could not be started: ") + xdotool.errorString()
            : QStringLiteral("xdotool did not finish");
        xdotool.kill();
        xdotool.waitForFinished();
    } else if (xdotool.exitStatus() != QProcess::NormalExit || xdotool.exitCode() != 0) {
        problem
            = QStringLiteral("xdotool %1 failed: %2")
                  .arg(arguments.value(0), QString::fromLocal8Bit(xdotool.readAllStandardError()));
    }
    if (output)
        *output = xdotool.readAllStandardOutput();
    if (why)
        *why = problem;
    return problem.isEmpty();
}

QStringList visibleWindows(const QString &titlePattern)
{
    QByteArray output;
    // Finding nothing is an exit code of 1, not a failure.
    run({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
            titlePattern },
        &output);
    return QString::fromLatin1(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString waitForWindow(const QString &titlePattern, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QStringList windows = visibleWindows(titlePattern);
        if (windows.size() == 1)
            return windows.first();
        if (deadline.hasExpired())
            return QString();
        QTest::qWait(PollIntervalMs);
    }
}

bool waitForNoWindow(const QString &titlePattern, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (visibleWindows(titlePattern).isEmpty())
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(PollIntervalMs);
    }
}

QString windowTitle(const QString &window)
{
    QByteArray output;
    run({ QStringLiteral("getwindowname"), window }, &output);
    return QString::fromUtf8(output).trimmed();
}

bool focus(const QString &window)
{
    return run({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), window });
}

bool key(const QStringList &keys)
{
    return run(
        QStringList { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40") }
        + keys);
}

bool type(const QString &text)
{
    return run({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text });
}

bool click(const QString &window, int x, int y)
{
    return run({ QStringLiteral("mousemove"), QStringLiteral("--window"), window,
        QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1") });
}

} // namespace Xdo

QImage grabWindow(const QString &window)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    return screen->grabWindow(WId(window.toULongLong())).toImage();
}

bool isBlank(const QImage &image, int minimumColours)
{
    if (image.isNull())
        return true;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            colours.insert(line[x]);
            if (colours.size() >= minimumColours)
                return false;
        }
    }
    return true;
}

} // namespace TestSupport
