#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace TestSupport {

// A private X server (Xvfb) on a display number no one else uses. It is
// started before the test's application object exists, so it does without
// QProcess; it ends with the object, or with the test process if that dies.
class VirtualDisplay final
{
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    // Starts Xvfb with one screen of the given geometry ("1280x1024x24") and
    // waits until it accepts clients. Its output goes to logFile.
    [[nodiscard]] bool start(const QString &geometry, const QString &logFile, QString *why);
    void stop();
    // ":N", for DISPLAY.
    QString name() const { return display; }

private:
    pid_t pid = -1;
    QString display;
};

// xdotool on the display named by DISPLAY: synthetic input as a user types and
// clicks, and window look-ups by title.
namespace Xdo {

// Runs xdotool; false with the reason in *why when it failed or hung.
bool run(const QStringList &arguments, QByteArray *output = nullptr, QString *why = nullptr);
// Visible windows whose title matches the regular expression.
QStringList visibleWindows(const QString &titlePattern);
// Polls until exactly one visible window has a matching title; its id, or an
// empty text after timeoutMs.
QString waitForWindow(const QString &titlePattern, int timeoutMs = 20000);
// Polls until no visible window has a matching title.
bool waitForNoWindow(const QString &titlePattern, int timeoutMs = 20000);
QString windowTitle(const QString &window);
// Gives the window the keyboard focus and waits until the server reports it:
// there is no window manager to do that.
bool focus(const QString &window);
bool key(const QStringList &keys);
bool type(const QString &text);
// A left click at x, y relative to the window's top left corner.
bool click(const QString &window, int x, int y);

} // namespace Xdo

// The window's pixels as the X server shows them; needs a QGuiApplication on
// that display.
QImage grabWindow(const QString &window);
// A picture with fewer than `minimumColours` distinct colours shows nothing
// worth looking at (an unpainted or black window has one).
bool isBlank(const QImage &image, int minimumColours = 8);

} // namespace TestSupport
