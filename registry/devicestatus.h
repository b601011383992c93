#pragma once

#include <QIcon>
#include <QString>

// A status shown in the device table's Status column. Callers create one of
// the concrete statuses below on the stack and pass it by reference.
class DeviceStatus
{
public:
    virtual int code() const = 0;
    virtual QString iconPath() const = 0;
    virtual QString text() const = 0;

protected:
    DeviceStatus() = default;
    DeviceStatus(const DeviceStatus &) = default;
    DeviceStatus &operator=(const DeviceStatus &) = default;
    ~DeviceStatus() = default;
};

class DeviceAvailable final : public DeviceStatus
{
public:
    int code() const override { return 0; }
    QString iconPath() const override { return QStringLiteral(":/ok"); }
    QString text() const override { return QStringLiteral("Device available"); }
};

class SettingParameters final : public DeviceStatus
{
public:
    int code() const override { return 1; }
    QString iconPath() const override { return QStringLiteral(":/scan"); }
    QString text() const override { return QStringLiteral("Setting new parameters..."); }
};

class ApplyingParameters final : public DeviceStatus
{
public:
    int code() const override { return 2; }
    QString iconPath() const override { return QStringLiteral(":/scan"); }
    QString text() const override { return QStringLiteral("Applying new parameters..."); }
};

class DeviceNotResponding final : public DeviceStatus
{
public:
    int code() const override { return 3; }
    QString iconPath() const override { return QStringLiteral(":/warning"); }
    QString text() const override { return QStringLiteral("Device not responding"); }
};

class RequestFailed final : public DeviceStatus
{
public:
    int code() const override { return 4; }
    QString iconPath() const override { return QStringLiteral(":/warning"); }
    QString text() const override { return QStringLiteral("Request failed"); }
};

class AuthorizationFailed final : public DeviceStatus
{
public:
    int code() const override { return 5; }
    QString iconPath() const override { return QStringLiteral(":/warning"); }
    QString text() const override { return QStringLiteral("Authorization failed"); }
};

class StoredPasswordInvalid final : public DeviceStatus
{
public:
    int code() const override { return 5; }
    QString iconPath() const override { return QStringLiteral(":/warning"); }
    QString text() const override
    {
        return QStringLiteral("Stored password is not valid any more, please try again!");
    }
};

class InformationIncomplete final : public DeviceStatus
{
public:
    int code() const override { return 5; }
    QString iconPath() const override { return QStringLiteral(":/warning"); }
    QString text() const override
    {
        return QStringLiteral("Device information incomplete. Please scan network again!");
    }
};

// The icon of a resource path, loaded once and then shared, so that thousands
// of status changes do not read the resource again each time.
QIcon resourceIcon(const QString &path);
