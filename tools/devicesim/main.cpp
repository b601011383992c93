#include "labcheck.h"
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

constexpr int UsageError = 2;
constexpr int NotInLab = 77;

int fail(const QString &message)
{
    std::fprintf(stderr, "quorvel-device-sim: %s\n", qPrintable(message));
    return UsageError;
}

const char Description[]
    = "Plays Quorvel devices on UDP port 28244 for tests and demonstrations.\n"
      "Run it only inside the private network made by scripts/netlab: its\n"
      "replies are broadcasts.\n"
      "\n"
      "Devices come from --config FILE, a JSON array of objects (or an object\n"
      "with such an array under \"devices\"), keys: mac (required, e.g.\n"
      "02:00:00:00:00:01), name, firmware, productType, protocolVersion,\n"
      "hostname, dhcp, ipAddress, subnetMask, domain, gateway, primaryDns,\n"
      "secondaryDns, user, password, replyDelayMs, noDeviceInfoReply,\n"
      "noNetworkConfigReply, deviceInfoStatus, networkConfigStatus,\n"
      "setConfigStatus (numbers or texts like \"0x80000003\").\n"
      "Or from --count N: generated devices 02:00:00:00:00:01 onwards; with\n"
      "--spread MS, device i of N answers i * MS / N ms later than the first,\n"
      "so that a broadcast is answered evenly over MS ms, not in one burst.\n"
      "\n"
      "--flood N answers every request also with N forged replies to its\n"
      "sender, each from a MAC of its own and --flood-bytes long: device\n"
      "information with a name that fills it, and network configurations,\n"
      "in turn; --flood-ms MS spreads them evenly over MS ms.\n"
      "\n"
      "--loss SHARE loses each reply of a device at random with that\n"
      "probability (0 to 1), as a lossy switch would.\n"
      "\n"
      "Prints \"ready\" on stdout once bound. With --control it reads commands\n"
      "from stdin, one a line, and answers each with a line \"ok ...\" or\n"
      "\"error ...\" on stdout:\n"
      "  password MAC NEW   the device's password becomes NEW (may be empty)\n"
      "  user MAC NEW       the device's user name becomes NEW\n"
      "  junk N             sends N datagrams of another program\n"
      "  forge long-mac     unasked replies of a device whose MAC field holds\n"
      "                     \"FF:FF:FF:FF:FF:FF!\" with no NUL, as an attacker\n"
      "                     on the LAN may send them\n"
      "  forge auth-failure MAC\n"
      "                     an unasked authorization failure from MAC\n"
      "  quit               ends the simulator\n"
      "Exit code 2 for bad options or a bad configuration, 77 outside the lab\n"
      "of scripts/netlab.";

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-device-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption configOption(QStringLiteral("config"),
        QStringLiteral("Devices from a JSON file."), QStringLiteral("FILE"));
    const QCommandLineOption countOption(
        QStringLiteral("count"), QStringLiteral("N generated devices."), QStringLiteral("N"));
    const QCommandLineOption versionOption(QStringLiteral("protocol-version"),
        QStringLiteral("Protocol version of generated devices (default 4)."), QStringLiteral("V"),
        QStringLiteral("4"));
    const QCommandLineOption delayOption(QStringLiteral("reply-delay"),
        QStringLiteral("Reply delay of generated devices in ms (default 0)."), QStringLiteral("MS"),
        QStringLiteral("0"));
    const QCommandLineOption spreadOption(QStringLiteral("spread"),
        QStringLiteral("Generated devices answer a broadcast over MS ms (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption floodOption(QStringLiteral("flood"),
        QStringLiteral("Sends N forged replies from distinct MACs with the answers to each "
                       "request."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption floodBytesOption(QStringLiteral("flood-bytes"),
        QStringLiteral("Length of each forged reply (default 8000)."), QStringLiteral("BYTES"),
        QStringLiteral("8000"));
    const QCommandLineOption floodMsOption(QStringLiteral("flood-ms"),
        QStringLiteral("Spreads the forged replies of each request over MS ms (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption lossOption(QStringLiteral("loss"),
        QStringLiteral("Loses each reply of a device with this probability (default 0)."),
        QStringLiteral("SHARE"), QStringLiteral("0"));
    const QCommandLineOption junkOption(QStringLiteral("junk"),
        QStringLiteral("Sends N foreign datagrams with the answers to each request."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
        QStringLiteral("One line per request on stderr; for a set or restart request to one "
                       "device it ends with the outcome (accepted, authorization failed, "
                       "refused, ignored, restarted, restarted with new settings)."));
    const QCommandLineOption controlOption(
        QStringLiteral("control"), QStringLiteral("Reads commands from stdin (see above)."));
    parser.addOptions({ configOption, countOption, versionOption, delayOption, spreadOption,
        floodOption, floodBytesOption, floodMsOption, lossOption, junkOption, verboseOption,
        controlOption });

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    if (parser.isSet(configOption) == parser.isSet(countOption))
        return fail(QStringLiteral("give exactly one of --config FILE and --count N"));

    auto number = [&parser](const QCommandLineOption &option, int low, int high, int *value) {
        bool ok = false;
        *value = parser.value(option).toInt(&ok);
        return ok && *value >= low && *value <= high;
    };
    int junk = 0;
    if (!number(junkOption, 0, 10000000, &junk))
        return fail(QStringLiteral("--junk wants a number from 0"));
    int flood = 0;
    int floodBytes = 0;
    if (!number(floodOption, 0, 10000000, &flood))
        return fail(QStringLiteral("--flood wants a number from 0"));
    if (!number(floodBytesOption, Datagram::Header::Size, 65507, &floodBytes))
        return fail(QStringLiteral("--flood-bytes wants a number from 124 to 65507"));
    int floodMs = 0;
    if (!number(floodMsOption, 0, 600000, &floodMs))
        return fail(QStringLiteral("--flood-ms wants a number of milliseconds"));
    bool lossOk = false;
    const double loss = parser.value(lossOption).toDouble(&lossOk);
    if (!lossOk || !(loss >= 0 && loss <= 1))
        return fail(QStringLiteral("--loss wants a share from 0 to 1"));

    QVector<SimDevice> devices;
    if (parser.isSet(countOption)) {
        int count = 0;
        int version = 0;
        int delay = 0;
        int spread = 0;
        if (!number(countOption, 1, 65535, &count))
            return fail(QStringLiteral("--count wants a number from 1 to 65535"));
        if (!number(versionOption, 0, 255, &version))
            return fail(QStringLiteral("--protocol-version wants a number from 0 to 255"));
        if (!number(delayOption, 0, 600000, &delay))
            return fail(QStringLiteral("--reply-delay wants a number of milliseconds"));
        if (!number(spreadOption, 0, 600000, &spread))
            return fail(QStringLiteral("--spread wants a number of milliseconds"));
        devices = generateDevices(count, version, delay);
        for (int i = 0; i < count; ++i)
            devices[i].replyDelayMs += int(qint64(i) * spread / count);
    } else {
        QFile file(parser.value(configOption));
        if (!file.open(QIODevice::ReadOnly))
            return fail(
                QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        QString error;
        if (!parseDevices(file.readAll(), &devices, &error))
            return fail(QStringLiteral("%1: %2").arg(file.fileName(), error));
    }

    // Its replies are broadcasts: it runs only inside the lab.
    if (!NetLab::whyOutside().isEmpty()) {
        std::fputs("quorvel-device-sim: refusing to run outside the network lab "
                   "(scripts/netlab run ... / netlab device ...)\n",
            stderr);
        return NotInLab;
    }

    Simulator simulator(devices);
    simulator.setVerbose(parser.isSet(verboseOption));
    simulator.setJunkPerRequest(junk);
    simulator.setFloodPerRequest(flood, floodBytes, floodMs);
    simulator.setLoss(loss);
    QString error;
    if (!simulator.bind(&error))
        return fail(QStringLiteral("cannot bind UDP port 28244: %1").arg(error));
    if (parser.isSet(controlOption))
        simulator.enableControl();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return app.exec();
}
