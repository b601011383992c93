// Stored login values: decoding arbitrary text, and encoding then decoding a
// record built from the input.

#include "fuzzstream.h"
#include "logindata.h"

using Fuzz::check;

namespace {

void checkDecodes(const QString &value)
{
    const QStringList record = LoginData::decode(value);
    if (record.isEmpty())
        return;
    check(record.size() == 3, QStringLiteral("decoded a record of %1 parts").arg(record.size()));
    // A decoded record is Latin-1 without separators, so it stores unchanged.
    check(LoginData::decode(LoginData::encode(record)) == record,
        QStringLiteral("a decoded record does not survive storing again"));
}

// The input's bytes up to the first two NULs as MAC, user name and password,
// each UTF-8, so that characters outside Latin-1 occur too.
void checkRoundTrip(const QByteArray &input)
{
    const QList<QByteArray> pieces = input.split('\0');
    if (pieces.size() < 3)
        return;
    QStringList record;
    QStringList expected;
    bool separator = false;
    for (int i = 0; i < 3; ++i) {
        const QByteArray bytes
            = i < 2 ? pieces.at(i) : input.mid(pieces.at(0).size() + pieces.at(1).size() + 2);
        const QString part = QString::fromUtf8(bytes);
        QString stored = part;
        // Every UTF-16 unit outside Latin-1 is stored as a question mark.
        for (QChar &c : stored) {
            if (c.unicode() > 0xFF)
                c = QLatin1Char('?');
        }
        separator = separator || stored.contains(QLatin1Char('|'));
        record << part;
        expected << stored;
    }
    const QStringList decoded = LoginData::decode(LoginData::encode(record));
    // A separator inside a part gives more than three parts: no login data.
    check(decoded == (separator ? QStringList() : expected),
        QStringLiteral("a record does not survive its round trip"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::silenceQtMessages();
    Fuzz::useTemporarySettings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    checkDecodes(QString::fromLatin1(input));
    checkDecodes(QString::fromUtf8(input));
    checkRoundTrip(input);
    return 0;
}
