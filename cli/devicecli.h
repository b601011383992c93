#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

class DeviceModel;
class PacketTransceiver;
class QCommandLineParser;

// quorvel-device-cli: lists, changes and exports devices from scripts and over
// SSH, through the same transceiver, table model and steps as the window.
// Results go to standard output, progress and problems to standard error.
class DeviceCli : public QObject
{
    Q_OBJECT

public:
    enum ExitCode {
        Success = 0,
        NoAnswer = 1, // no device found, the device did not answer, nothing written
        BadInput = 2, // bad usage or bad input; no request went out for it
        Refused = 3, // authorization failed or the device refused the settings
        BindFailed = 4, // the receiving port could not be bound
    };

    DeviceCli(const QString &version, FILE *out, FILE *err, QObject *parent = nullptr);
    ~DeviceCli() override;

    // Runs one command line (without the program name) to its end.
    int run(const QStringList &arguments);

    static QString helpText();

private:
    int list(const QCommandLineParser &parser);
    int set(const QCommandLineParser &parser, const QString &mac);
    int exportFile(const QCommandLineParser &parser, const QStringList &arguments);
    int listInterfaces(const QCommandLineParser &parser);

    bool bind();
    bool scanFor(const QCommandLineParser &parser, int *code);
    // Runs the event loop for `ms`, or until `done` returns true.
    void wait(int ms, const std::function<bool()> &done = {});
    QStringList rowMacsInOrder() const;

    int fail(int code, const QString &message);
    void note(const QString &message);
    void print(const QString &text);

    QString version;
    FILE *out;
    FILE *err;
    PacketTransceiver *transceiver;
    DeviceModel *model;
    bool strayReported = false;
    QSet<QString> warned;
};
