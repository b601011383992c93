#include "logindata.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <memory>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString Group = QStringLiteral("LoginData");

// Far above any genuine record; a damaged value must not make us allocate
// the gigabytes its length prefix may claim.
constexpr quint32 MaxRecordSize = 64 * 1024;

std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
        QStringLiteral("Korvex"), QStringLiteral("Quorvel Device Finder"));
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// Each missing folder on the way is made for the user alone.
bool makePrivateFolders(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).path();
    return parent != path && makePrivateFolders(parent)
        && (::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno == EEXIST);
}
#endif

// The store is a plain file here, which QSettings replaces whole on sync()
// and gives the rights of the file it replaces. So the file is made 0600
// before a password goes in, never after: the password is not readable by
// others even for a moment. False when the file cannot be made the user's
// alone (another owner, a read-only file system).
bool makeStorePrivate(const QString &fileName)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!makePrivateFolders(QFileInfo(fileName).absolutePath()))
        return false;
    const int fd
        = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat st;
    const bool ours = ::fchmod(fd, 0600) == 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()
        && (st.st_mode & 077) == 0;
    ::close(fd);
    return ours;
#else
    // The user's own registry hive or preferences folder.
    Q_UNUSED(fileName)
    return true;
#endif
}

QByteArray uncompressed(const QByteArray &data)
{
    if (data.size() < 6)
        return QByteArray();
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const quint32 size = quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8
        | quint32(bytes[3]);
    // A zlib stream starts with a deflate method byte and a header checksum.
    const bool zlibHeader = (bytes[4] & 0x0F) == 8 && (bytes[4] << 8 | bytes[5]) % 31 == 0;
    if (size > MaxRecordSize || !zlibHeader)
        return QByteArray();
    return qUncompress(data);
}

} // namespace

bool hasLoginData(const QString &macAddress)
{
    const auto settings = openStore();
    settings->beginGroup(Group);
    return settings->childKeys().contains(macAddress);
}

void removeLoginData(const QString &macAddress)
{
    const auto settings = openStore();
    // Narrows a store that an earlier version left readable by others.
    makeStorePrivate(settings->fileName());
    settings->beginGroup(Group);
    settings->remove(macAddress);
}

namespace LoginData {

QString encode(const QStringList &record)
{
    const QByteArray plain = record.join(QLatin1Char('|')).toLatin1();
    return QString::fromLatin1(qCompress(plain).toBase64());
}

QStringList decode(const QString &value)
{
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        value.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QStringList();
    const QByteArray plain = uncompressed(*decoded);
    // Up to the first NUL, where Qt 5 stops on its own and Qt 6 does not.
    const int length = int(qstrnlen(plain.constData(), uint(plain.size())));
    const QStringList record
        = QString::fromLatin1(plain.constData(), length).split(QLatin1Char('|'));
    return record.size() == 3 ? record : QStringList();
}

QStringList load(const QString &macAddress)
{
    const auto settings = openStore();
    settings->beginGroup(Group);
    // Walk the keys rather than asking for the value, so that the MAC text
    // matches with its letter case on every platform's store.
    const QStringList keys = settings->childKeys();
    for (const QString &key : keys) {
        if (key == macAddress)
            return decode(settings->value(key).toString());
    }
    return QStringList();
}

bool save(const QStringList &record)
{
    if (record.isEmpty())
        return true;
    const auto settings = openStore();
    if (!makeStorePrivate(settings->fileName()))
        return false;
    settings->setValue(QStringLiteral("LoginData/%1").arg(record.first()), encode(record));
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString fileName()
{
    return openStore()->fileName();
}

} // namespace LoginData
