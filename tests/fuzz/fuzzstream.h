#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// The byte format of the fuzz inputs. The targets read it with FuzzReader;
// the corpus generator writes it with FuzzWriter, so seeds and targets agree.
// Reads past the end give zeros and empty texts, so every input is valid.
namespace Fuzz {

class FuzzReader
{
public:
    FuzzReader(const uint8_t *data, size_t size)
        : data(data)
        , size(size)
    { }

    bool atEnd() const { return pos >= size; }

    quint8 byte() { return atEnd() ? 0 : data[pos++]; }

    quint16 uint16()
    {
        const quint16 low = byte();
        return quint16(low | byte() << 8);
    }

    // Two length bytes, then at most that many bytes.
    QByteArray block() { return take(uint16()); }

    // One length byte (up to 63), then the bytes as UTF-8.
    QString shortText() { return QString::fromUtf8(take(byte() % 64)); }

    // One length byte (up to 31), then that many UTF-16 units, little-endian,
    // so that lone halves of surrogate pairs occur too.
    QString shortUtf16()
    {
        const QByteArray bytes = take(2 * (byte() % 32));
        QString text;
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            text += QChar(ushort(quint8(bytes[i]) | quint8(bytes[i + 1]) << 8));
        return text;
    }

private:
    QByteArray take(size_t n)
    {
        n = qMin(n, size - qMin(pos, size));
        const QByteArray bytes(reinterpret_cast<const char *>(data + pos), int(n));
        pos += n;
        return bytes;
    }

    const uint8_t *data;
    size_t size;
    size_t pos = 0;
};

class FuzzWriter
{
public:
    FuzzWriter &byte(int value)
    {
        out.append(char(value));
        return *this;
    }
    FuzzWriter &uint16(int value) { return byte(value & 0xFF).byte((value >> 8) & 0xFF); }
    FuzzWriter &block(const QByteArray &bytes)
    {
        uint16(bytes.size());
        out.append(bytes);
        return *this;
    }
    FuzzWriter &shortText(const QString &text)
    {
        const QByteArray bytes = text.toUtf8().left(63);
        byte(bytes.size());
        out.append(bytes);
        return *this;
    }
    QByteArray bytes() const { return out; }

private:
    QByteArray out;
};

// The steps of a fuzz_replies input: an operation byte, then its arguments.
enum ReplyOperation {
    RawDatagram, // block: the datagram as received
    BuiltReply, // kind, status, MAC, texts of the kind
    RequestNotice, // message id, MAC
    Tick, // uint16 milliseconds to advance before the watch runs
    Sort, // column and order
    RemoveRows, // first, count
    EmptyTable,
    PendingLogin, // MAC, user name, password
    StoredLogin, // MAC
    StatusFromOutside, // MAC
    ReplyOperationCount,
};

// How a MAC argument is given: the first byte of it.
enum MacSource {
    TypedMac, // shortText follows; with flag 0x40 shortUtf16
    RowMac, // a row index follows; flag 0x10 lower case, 0x20 upper case
    KnownMac, // an index into the fuzzer's list of texts that fold unusually
    BroadcastMac,
};

// A failed invariant: libFuzzer takes the abort as a crash and keeps the input.
[[noreturn]] void fail(const QString &what);

inline void check(bool condition, const QString &what)
{
    if (!condition)
        fail(what);
}

// Qt's warnings about damaged input (a corrupt compressed stream, say) are
// expected by the thousand and would only slow the fuzzer down.
void silenceQtMessages();

// Starts a Qt application of the given kind on the offscreen platform and
// keeps it to the end of the process: Qt's font caches leak when it is
// destroyed at exit. Qt gets arguments of its own, so that it takes none of
// the fuzzer's away.
template<typename Application> void startOffscreenApplication(char *program)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char *argv[] = { program, nullptr };
    new Application(argc, argv);
}

// Points the user settings store at a temporary folder for the whole run.
// Returns that folder.
QString useTemporarySettings();

} // namespace Fuzz
