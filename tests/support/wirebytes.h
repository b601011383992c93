#pragma once

#include <QByteArray>

// Expected datagram bytes, written out by hand in the tests.
namespace WireBytes {

// Hex bytes; blanks and line breaks are for the reader.
inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).simplified().replace(' ', ""));
}

inline QByteArray zeros(int n)
{
    return QByteArray(n, '\0');
}

// The text as ASCII bytes followed by NULs up to the field's width.
inline QByteArray text(const QByteArray &ascii, int width)
{
    return ascii + zeros(width - ascii.size());
}

} // namespace WireBytes
