#pragma once

#include <optional>

// True on Windows 8.1 and earlier (they report 6.x), false on Windows 10 and
// later and on every other system. Such systems need the sending socket bound
// to the chosen interface, and a scan that finds nothing always offers another
// interface there.
bool isOlderWindows();

// Tests fix the answer either way; std::nullopt asks the system again.
void forceOlderWindowsForTesting(std::optional<bool> answer);
