#include "platform.h"

#include <QOperatingSystemVersion>

namespace {

std::optional<bool> &forcedAnswer()
{
    static std::optional<bool> answer;
    return answer;
}

} // namespace

bool isOlderWindows()
{
    if (forcedAnswer())
        return *forcedAnswer();
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    return current.type() == QOperatingSystemVersion::Windows
        && current <= QOperatingSystemVersion(QOperatingSystemVersion::Windows, 7);
}

void forceOlderWindowsForTesting(std::optional<bool> answer)
{
    forcedAnswer() = answer;
}
