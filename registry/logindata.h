#pragma once

#include <QString>
#include <QStringList>

// Remembered login data: one value per MAC text in the group "LoginData" of
// the user's settings store. A record is [MAC text, user name, password].
// The stored value is an encoding (Base64 of the compressed Latin-1 text
// "MAC|user|password"), not an encryption, so the file is kept readable by
// its owner alone.

bool hasLoginData(const QString &macAddress);
void removeLoginData(const QString &macAddress);

namespace LoginData {

QString encode(const QStringList &record);
// The three-part record, or an empty list when the value is not a valid record.
QStringList decode(const QString &value);
// The record stored under exactly that MAC text, or an empty list.
QStringList load(const QString &macAddress);
// Stores the record under its first element, replacing an earlier value, in a
// file only the user may read. False, and nothing stored, where that cannot be.
bool save(const QStringList &record);
// Where the records are kept.
QString fileName();

} // namespace LoginData
