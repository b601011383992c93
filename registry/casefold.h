#pragma once

#include <QString>

// A hash key for case-insensitive look-ups: two texts get the same key exactly
// when QString::compare(a, b, Qt::CaseInsensitive) == 0, the comparison behind
// the item models' Qt::MatchFixedString search.
QString caseInsensitiveKey(const QString &text);
