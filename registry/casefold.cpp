#include "casefold.h"

#include <algorithm>

QString caseInsensitiveKey(const QString &text)
{
    const bool hasSurrogates
        = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
    if (!hasSurrogates) {
        QString key(text.size(), Qt::Uninitialized);
        for (int i = 0; i < text.size(); ++i)
            key[i] = QChar(QChar::toCaseFolded(text.at(i).unicode()));
        return key;
    }
    // The comparison folds a low surrogate together with the high one before it,
    // so one position may fold to a code point beyond 16 bits. Two units per
    // position keep the key unambiguous, and since the first unit is always a
    // surrogate such a key never equals one of the plain form above.
    QString key;
    key.reserve(2 * text.size());
    uint last = 0;
    for (const QChar c : text) {
        const uint unit = c.unicode();
        uint codePoint = unit;
        if (QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(last))
            codePoint = QChar::surrogateToUcs4(ushort(last), ushort(unit));
        last = unit;
        const uint folded = QChar::toCaseFolded(codePoint);
        key += QChar(ushort(0xD800 + (folded >> 16)));
        key += QChar(ushort(folded & 0xFFFF));
    }
    return key;
}
