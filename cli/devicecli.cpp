#include "devicecli.h"

#include "connectionexport.h"
#include "datagram.h"
#include "devicemodel.h"
#include "devicestatus.h"
#include "devicesteps.h"
#include "logindata.h"
#include "packettransceiver.h"
#include "scancycle.h"
#include "settingscheck.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <iterator>

#include <termios.h>
#include <unistd.h>

namespace {

// The window's check time; `list` and `export` wait as long by default.
constexpr int DefaultWaitMs = ScanCycle::DefaultCheckMs;
constexpr double MaxWaitSeconds = 3600;
// The device's answer to the first read of its settings.
constexpr int ReadTimeoutMs = 3000;
// Set reply (3 s watch), restart delay (5 s), re-read (3 s watch), with room to spare.
constexpr int SetTimeoutMs = 20000;

const char Usage[]
    = "Usage:\n"
      "  quorvel-device-cli list   [--json | --csv] [--wait SECONDS] [--interface NAME]\n"
      "  quorvel-device-cli set    MAC [--hostname NAME] [--dhcp | --static] [--ip ADDR]\n"
      "                            [--mask ADDR] [--gateway ADDR] [--domain NAME]\n"
      "                            [--dns1 ADDR] [--dns2 ADDR] [--user NAME]\n"
      "                            [--password-stdin] [--remember] [--json] [--interface NAME]\n"
      "  quorvel-device-cli export FILE [--wait SECONDS] [--interface NAME] [MAC ...]\n"
      "  quorvel-device-cli interfaces [--json]\n"
      "  quorvel-device-cli --help | --version\n"
      "\n"
      "Finds Quorvel network devices on the LAN by UDP broadcast (port 28244), as\n"
      "Quorvel Device Finder does, and changes their network settings.\n"
      "\n"
      "list    scans once and prints one row per device in MAC order: a table, CSV\n"
      "        (--csv) or a JSON array (--json) with the keys mac, name, firmware,\n"
      "        hostname, ip, ipConfig, status, protocolVersion, productType and\n"
      "        conflicts (\"ip\" and/or \"hostname\" where another device has the same).\n"
      "        --wait SECONDS collects replies that long (default 3, fractions allowed;\n"
      "        from 0 to 3600). Cells that would start a formula (=, +, -, @) begin\n"
      "        with ' in CSV.\n"
      "set     reads the device's settings, changes only the fields given and sends\n"
      "        them; then the device restarts its network and its settings are read\n"
      "        again and printed (as JSON with --json). Progress goes to standard\n"
      "        error. Static addressing needs a complete IP address and mask; gateway\n"
      "        and DNS servers may be empty (--gateway \"\"); addresses go out without\n"
      "        leading zeros. A host name has 2 to 24 letters, digits and \"-\", a\n"
      "        letter first and a letter or digit last. A device of protocol version\n"
      "        4 or later needs a login: --user NAME and one line of standard input\n"
      "        as the password (--password-stdin; without it the password is asked\n"
      "        for on the terminal once the device has answered; never echoed), or\n"
      "        the login remembered by Quorvel Device Finder; --remember stores it\n"
      "        once the device accepts it. A refused login leaves the remembered one\n"
      "        alone unless that one was sent. A password is never taken from the\n"
      "        command line; Ctrl+D or Enter alone at the prompt sends nothing.\n"
      "export  scans and writes the Zet7 connection file FILE for every device that\n"
      "        can be exported, or for the MACs given; it names the ones it skips.\n"
      "interfaces  lists the network interfaces a scan can use (up or running, not\n"
      "        loopback, with an IPv4 address), the one used by default first: name,\n"
      "        IPv4 address and MAC, or a JSON array (--json) with the keys name, ip\n"
      "        and mac.\n"
      "--interface NAME  sends through that network interface instead of the first\n"
      "        one that interfaces lists.\n"
      "\n"
      "Exit codes:\n"
      "  0  success\n"
      "  1  no device found, the device did not answer, the file was not written,\n"
      "     or no network interface is usable\n"
      "  2  bad usage or bad input (no change was sent for it)\n"
      "  3  authorization failed or the device refused the settings\n"
      "  4  the receiving port 28244 could not be bound\n";

// The command each option belongs to; the parser knows all of them.
struct OptionUse
{
    const char *name;
    const char *commands;
};
const OptionUse OptionUses[] = { { "json", "list set interfaces" }, { "csv", "list" },
    { "wait", "list export" }, { "interface", "list set export" }, { "hostname", "set" },
    { "dhcp", "set" }, { "static", "set" }, { "ip", "set" }, { "mask", "set" },
    { "gateway", "set" }, { "domain", "set" }, { "dns1", "set" }, { "dns2", "set" },
    { "user", "set" }, { "password-stdin", "set" }, { "remember", "set" } };

// Device texts come from anyone on the LAN: no control character of theirs
// reaches the terminal.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    }
    return text;
}

QString csvField(const QString &text)
{
    // A cell a spreadsheet would take for a formula is kept as text.
    const bool formula = !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.at(0));
    const QString field = (formula ? QStringLiteral("'") : QString()) + printable(text);
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')))
        return field;
    return QLatin1Char('"') + QString(field).replace(QLatin1Char('"'), QLatin1String("\"\""))
        + QLatin1Char('"');
}

bool isTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

// The terminal as it was before the password was asked for; the signal
// handlers below put it back, so whatever ends or stops the prompt leaves
// the terminal echoing.
termios savedTerminal {};
const int PromptSignals[] = { SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU };

void setEcho(bool on)
{
    termios changed = savedTerminal;
    if (!on)
        changed.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &changed);
}

extern "C" void onPromptSignal(int signal);

// Also the prompt's other signals wait while a handler runs.
void setAction(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    for (const int other : PromptSignals)
        ::sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

extern "C" void onPromptSignal(int signal)
{
    const int savedErrno = errno;
    setEcho(true);
    // The signal's own action now: end, or stop until continued.
    setAction(signal, SIG_DFL);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    // Continued after a stop: quiet again for the rest of the password.
    setAction(signal, onPromptSignal);
    setEcho(false);
    errno = savedErrno;
}

// One line of standard input without its line end; on a terminal after the
// prompt and not echoed. `ended` tells that the input ended before a line.
QString readSecretLine(const QString &prompt, bool *ended)
{
    const bool terminal = isTerminal() && ::tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
    struct sigaction previous[std::size(PromptSignals)] = {};
    if (terminal) {
        std::fputs(qPrintable(prompt), stderr);
        std::fflush(stderr);
        for (size_t i = 0; i < std::size(PromptSignals); ++i) {
            // A signal the caller ignores (nohup) stays ignored.
            ::sigaction(PromptSignals[i], nullptr, &previous[i]);
            if (previous[i].sa_handler != SIG_IGN)
                setAction(PromptSignals[i], onPromptSignal);
        }
        setEcho(false);
    }
    // Byte by byte, so nothing behind the line is taken from standard input.
    QByteArray line;
    char c = 0;
    ssize_t got = 0;
    while ((got = ::read(STDIN_FILENO, &c, 1)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || c == '\n')
            break;
        line += c;
    }
    *ended = got <= 0 && line.isEmpty();
    if (terminal) {
        setEcho(true);
        for (size_t i = 0; i < std::size(PromptSignals); ++i)
            ::sigaction(PromptSignals[i], &previous[i], nullptr);
        std::fputs("\n", stderr);
    }
    while (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace

DeviceCli::DeviceCli(const QString &version, FILE *out, FILE *err, QObject *parent)
    : QObject(parent)
    , version(version)
    , out(out)
    , err(err)
    , transceiver(new PacketTransceiver(this))
    , model(new DeviceModel(this))
{
    DeviceSteps::connectModel(transceiver, model);
    // One line each per run: a flood of them must not drown the results.
    transceiver->setStrayReporter([this](const QString &text) {
        if (!strayReported)
            note(QStringLiteral("ignoring a datagram on port 28244: %1").arg(text));
        strayReported = true;
    });
    // Each text once: every request without an interface repeats its warning.
    const auto warn = [this](const QString &, const QString &msg) {
        if (!warned.contains(msg))
            note(msg);
        warned.insert(msg);
    };
    connect(transceiver, &PacketTransceiver::warningMessage, this, warn);
    connect(model, &DeviceModel::warningMessage, this, warn);
}

DeviceCli::~DeviceCli() = default;

QString DeviceCli::helpText()
{
    return QString::fromLatin1(Usage);
}

int DeviceCli::fail(int code, const QString &message)
{
    note(message);
    return code;
}

void DeviceCli::note(const QString &message)
{
    std::fprintf(err, "quorvel-device-cli: %s\n", message.toUtf8().constData());
    std::fflush(err);
}

void DeviceCli::print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), out);
    std::fflush(out);
}

int DeviceCli::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    const QCommandLineOption showVersion(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(showVersion);
    for (const OptionUse &use : OptionUses) {
        const QString name = QLatin1String(use.name);
        const bool flag = name == QLatin1String("json") || name == QLatin1String("csv")
            || name == QLatin1String("dhcp") || name == QLatin1String("static")
            || name == QLatin1String("password-stdin") || name == QLatin1String("remember");
        parser.addOption(flag ? QCommandLineOption(name)
                              : QCommandLineOption(name, QString(), QStringLiteral("VALUE")));
    }

    if (!parser.parse(QStringList { QStringLiteral("quorvel-device-cli") } + arguments)) {
        if (parser.unknownOptionNames().contains(QStringLiteral("password")))
            return fail(
                BadInput, QStringLiteral("no password on the command line: use --password-stdin"));
        return fail(BadInput, parser.errorText() + QStringLiteral(" (see --help)"));
    }
    if (parser.isSet(help)) {
        print(helpText());
        return Success;
    }
    if (parser.isSet(showVersion)) {
        print(QStringLiteral("quorvel-device-cli %1\n").arg(version));
        return Success;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(BadInput,
            QStringLiteral("no command given: list, set, export or interfaces (see --help)"));
    const QString command = positional.takeFirst();
    if (command != QLatin1String("list") && command != QLatin1String("set")
        && command != QLatin1String("export") && command != QLatin1String("interfaces"))
        return fail(BadInput, QStringLiteral("unknown command \"%1\" (see --help)").arg(command));
    for (const OptionUse &use : OptionUses) {
        const QString name = QLatin1String(use.name);
        if (parser.isSet(name)
            && !QString::fromLatin1(use.commands).split(QLatin1Char(' ')).contains(command))
            return fail(BadInput, QStringLiteral("--%1 is no option of %2").arg(name, command));
    }
    if (parser.isSet(QStringLiteral("wait"))) {
        bool ok = false;
        const double seconds = parser.value(QStringLiteral("wait")).toDouble(&ok);
        // "nan" and "inf" read as numbers and pass the range test.
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > MaxWaitSeconds)
            return fail(BadInput, QStringLiteral("--wait wants seconds from 0 to 3600"));
    }
    if (parser.isSet(QStringLiteral("interface"))) {
        const QString name = parser.value(QStringLiteral("interface"));
        const QStringList entries = transceiver->interfaces();
        const bool known = std::any_of(entries.cbegin(), entries.cend(), [&name](const QString &e) {
            return PacketTransceiver::entryPart(e, PacketTransceiver::EntryName) == name;
        });
        if (!known)
            return fail(BadInput,
                QStringLiteral(
                    "no usable interface \"%1\" (quorvel-device-cli interfaces lists them)")
                    .arg(printable(name)));
        transceiver->selectInterface(name);
    }

    if (command == QLatin1String("list")) {
        if (!positional.isEmpty())
            return fail(
                BadInput, QStringLiteral("list takes no argument \"%1\"").arg(positional.first()));
        if (parser.isSet(QStringLiteral("json")) && parser.isSet(QStringLiteral("csv")))
            return fail(BadInput, QStringLiteral("--json and --csv exclude each other"));
        return list(parser);
    }
    if (command == QLatin1String("set")) {
        if (positional.size() != 1)
            return fail(BadInput, QStringLiteral("set takes exactly one MAC address"));
        return set(parser, positional.first());
    }
    if (command == QLatin1String("interfaces")) {
        if (!positional.isEmpty())
            return fail(BadInput,
                QStringLiteral("interfaces takes no argument \"%1\"").arg(positional.first()));
        return listInterfaces(parser);
    }
    return exportFile(parser, positional);
}

bool DeviceCli::bind()
{
    return transceiver->bindSocket();
}

void DeviceCli::wait(int ms, const std::function<bool()> &done)
{
    if (done && done())
        return;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    if (done) {
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(20);
    }
    deadline.start(ms);
    loop.exec();
}

bool DeviceCli::scanFor(const QCommandLineParser &parser, int *code)
{
    // run() let through only a finite number of seconds from 0 to 3600.
    const int waitMs = parser.isSet(QStringLiteral("wait"))
        ? int(parser.value(QStringLiteral("wait")).toDouble() * 1000)
        : DefaultWaitMs;
    transceiver->refreshInterfaces();
    if (!bind()) {
        *code = fail(BindFailed,
            QStringLiteral("Could not bind socket! Please check if another application "
                           "instance is already running!"));
        return false;
    }
    ScanCycle cycle(transceiver, model);
    QEventLoop loop;
    connect(&cycle, &ScanCycle::checked, &loop, &QEventLoop::quit);
    cycle.start(waitMs);
    loop.exec();
    if (model->rowCount() == 0) {
        *code = fail(NoAnswer, QStringLiteral("No devices found!"));
        // The devices may well be behind another link.
        const QStringList entries = transceiver->interfaces();
        const QString inUse
            = PacketTransceiver::entryPart(entries.value(0), PacketTransceiver::EntryName);
        QStringList names, others;
        for (const QString &entry : entries) {
            const QString name = PacketTransceiver::entryPart(entry, PacketTransceiver::EntryName);
            if (name != inUse && !names.contains(name)) {
                names << name;
                others << QStringLiteral("%1 (%2)").arg(printable(name),
                    PacketTransceiver::entryPart(entry, PacketTransceiver::EntryAddress));
            }
        }
        if (!others.isEmpty())
            note(QStringLiteral("nothing answered on %1 (%2); other interfaces: %3; "
                                "choose one with --interface NAME")
                     .arg(printable(inUse), transceiver->localIpAddress(),
                         others.join(QLatin1String(", "))));
        return false;
    }
    return true;
}

int DeviceCli::listInterfaces(const QCommandLineParser &parser)
{
    const QStringList entries = transceiver->interfaces();
    QJsonArray json;
    QVector<QStringList> lines { { QStringLiteral("Interface"), QStringLiteral("IPv4 address"),
        QStringLiteral("MAC address") } };
    for (const QString &entry : entries) {
        const QString name = PacketTransceiver::entryPart(entry, PacketTransceiver::EntryName);
        const QString ip = PacketTransceiver::entryPart(entry, PacketTransceiver::EntryAddress);
        const QString mac = PacketTransceiver::entryPart(entry, PacketTransceiver::EntryMac);
        json.append(QJsonObject { { QStringLiteral("name"), name }, { QStringLiteral("ip"), ip },
            { QStringLiteral("mac"), mac } });
        lines << QStringList { printable(name), ip, mac };
    }
    if (parser.isSet(QStringLiteral("json"))) {
        print(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)));
    } else if (!entries.isEmpty()) {
        int widths[2] = {};
        for (const QStringList &line : qAsConst(lines)) {
            for (int column = 0; column < 2; ++column)
                widths[column] = std::max(widths[column], int(line.at(column).size()));
        }
        QString output;
        for (const QStringList &line : qAsConst(lines))
            output += line.at(0).leftJustified(widths[0] + 2)
                + line.at(1).leftJustified(widths[1] + 2) + line.at(2) + QLatin1Char('\n');
        print(output);
    }
    if (entries.isEmpty())
        return fail(NoAnswer,
            QStringLiteral(
                "no usable network interface (up or running, not loopback, with an IPv4 address)"));
    return Success;
}

QStringList DeviceCli::rowMacsInOrder() const
{
    QStringList macs;
    for (int row = 0; row < model->rowCount(); ++row)
        macs << model->index(row, DeviceModel::ColumnMacAddress).data().toString();
    std::sort(macs.begin(), macs.end());
    return macs;
}

int DeviceCli::list(const QCommandLineParser &parser)
{
    int code = Success;
    if (!scanFor(parser, &code))
        return code;
    auto text = [this](int row, int column) { return model->index(row, column).data().toString(); };
    auto marked = [this](int row, int column) {
        // The model marks a conflict by the cell's icon and tool tip.
        return !model->index(row, column).data(Qt::ToolTipRole).toString().isEmpty();
    };
    const QStringList macs = rowMacsInOrder();
    constexpr int Columns = DeviceModel::ColumnStatus + 1;

    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray devices;
        for (const QString &mac : macs) {
            const int row = model->findRow(mac);
            const QModelIndex macCell = model->index(row, DeviceModel::ColumnMacAddress);
            const QVariant config = macCell.data(DeviceModel::RawConfigRole);
            const QVariant productType = macCell.data(DeviceModel::ProductTypeRole);
            QJsonArray conflicts;
            if (marked(row, DeviceModel::ColumnIpAddress))
                conflicts.append(QStringLiteral("ip"));
            if (marked(row, DeviceModel::ColumnHostname))
                conflicts.append(QStringLiteral("hostname"));
            devices.append(QJsonObject {
                { QStringLiteral("mac"), mac },
                { QStringLiteral("name"), text(row, DeviceModel::ColumnDeviceName) },
                { QStringLiteral("firmware"), text(row, DeviceModel::ColumnFirmware) },
                { QStringLiteral("hostname"), text(row, DeviceModel::ColumnHostname) },
                { QStringLiteral("ip"), text(row, DeviceModel::ColumnIpAddress) },
                { QStringLiteral("ipConfig"), text(row, DeviceModel::ColumnIpConfig) },
                { QStringLiteral("status"), text(row, DeviceModel::ColumnStatus) },
                { QStringLiteral("protocolVersion"),
                    config.isValid()
                        ? QJsonValue(int(Datagram::protocolVersion(config.toByteArray())))
                        : QJsonValue() },
                { QStringLiteral("productType"),
                    productType.isValid() ? QJsonValue(productType.toInt()) : QJsonValue() },
                { QStringLiteral("conflicts"), conflicts },
            });
        }
        print(QString::fromUtf8(QJsonDocument(devices).toJson(QJsonDocument::Indented)));
        return Success;
    }

    QVector<QStringList> lines;
    QStringList header;
    for (int column = 0; column < Columns; ++column)
        header << model->headerData(column, Qt::Horizontal).toString();
    lines << header;
    for (const QString &mac : macs) {
        const int row = model->findRow(mac);
        QStringList line;
        for (int column = 0; column < Columns; ++column)
            line << text(row, column);
        lines << line;
    }
    QString output;
    if (parser.isSet(QStringLiteral("csv"))) {
        for (const QStringList &line : qAsConst(lines)) {
            QStringList fields;
            for (const QString &field : line)
                fields << csvField(field);
            output += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
        }
    } else {
        int widths[Columns] = {};
        for (const QStringList &line : qAsConst(lines)) {
            for (int column = 0; column < Columns; ++column)
                widths[column] = std::max(widths[column], int(printable(line.at(column)).size()));
        }
        for (const QStringList &line : qAsConst(lines)) {
            QString rowText;
            for (int column = 0; column < Columns; ++column) {
                const QString cell = printable(line.at(column));
                rowText += column + 1 < Columns ? cell.leftJustified(widths[column] + 2) : cell;
            }
            output += rowText + QLatin1Char('\n');
        }
    }
    print(output);
    return Success;
}

int DeviceCli::set(const QCommandLineParser &parser, const QString &macArgument)
{
    auto given = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    auto value = [&parser](const char *name) { return parser.value(QLatin1String(name)); };

    // Everything the command line alone can tell is checked before a request leaves.
    QString mac = macArgument.toUpper();
    if (mac == QLatin1String(Datagram::BroadcastMac))
        return fail(
            BadInput, QStringLiteral("%1 addresses every device; set changes one").arg(mac));
    if (!Datagram::isDeviceMac(mac))
        return fail(BadInput,
            QStringLiteral("\"%1\" is no MAC address (six hex pairs joined by colons)")
                .arg(printable(macArgument)));
    if (given("dhcp") && given("static"))
        return fail(BadInput, QStringLiteral("--dhcp and --static exclude each other"));
    struct AddressOption
    {
        const char *name;
        QString Datagram::NetworkSettings::*field;
        bool mayBeEmpty;
    };
    const AddressOption addressOptions[] = { { "ip", &Datagram::NetworkSettings::ipAddress, false },
        { "mask", &Datagram::NetworkSettings::subnetMask, false },
        { "gateway", &Datagram::NetworkSettings::gateway, true },
        { "dns1", &Datagram::NetworkSettings::primaryDns, true },
        { "dns2", &Datagram::NetworkSettings::secondaryDns, true } };
    for (const AddressOption &option : addressOptions) {
        if (given(option.name) && !(option.mayBeEmpty && value(option.name).isEmpty())
            && Datagram::canonicalIpv4(value(option.name)).isNull())
            return fail(BadInput,
                QStringLiteral("--%1 \"%2\" is no complete IPv4 address")
                    .arg(QLatin1String(option.name), printable(value(option.name))));
    }
    const QString hostnameRule = QStringLiteral("2 to %1 letters, digits and \"-\", a letter "
                                                "first and a letter or digit last")
                                     .arg(SettingsCheck::MaxHostnameLength);
    if (given("hostname") && !SettingsCheck::isHostname(value("hostname")))
        return fail(BadInput,
            QStringLiteral("--hostname \"%1\": %2")
                .arg(printable(value("hostname")), hostnameRule));
    const char *changes[]
        = { "hostname", "dhcp", "static", "ip", "mask", "gateway", "domain", "dns1", "dns2" };
    if (std::none_of(std::begin(changes), std::end(changes), given))
        return fail(BadInput, QStringLiteral("nothing to change (see --help)"));
    if (given("password-stdin") && !given("user"))
        return fail(BadInput, QStringLiteral("--password-stdin needs --user"));
    if (given("remember") && !given("user"))
        return fail(BadInput, QStringLiteral("--remember needs --user"));
    if (given("user") && !given("password-stdin") && !isTerminal())
        return fail(BadInput,
            QStringLiteral("no terminal to ask for the password on: use --password-stdin"));

    if (!bind())
        return fail(BindFailed,
            QStringLiteral("Could not bind socket! Please check if another application "
                           "instance is already running!"));
    QString lastStatus;
    // The watch reads this call's locals: it must end with the call.
    struct Watch
    {
        QMetaObject::Connection connection;
        ~Watch() { QObject::disconnect(connection); }
    };
    const Watch watch { connect(model, &QAbstractItemModel::dataChanged, this,
        [&](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
            const int row = model->findRow(mac);
            if (row < topLeft.row() || row > bottomRight.row()
                || bottomRight.column() < DeviceModel::ColumnStatus)
                return;
            const QString status = model->index(row, DeviceModel::ColumnStatus).data().toString();
            if (status != lastStatus && !status.isEmpty())
                note(status);
            lastStatus = status;
        }) };
    auto configReply = [&] {
        const int row = model->findRow(mac);
        return row < 0 ? QByteArray()
                       : model->index(row, DeviceModel::ColumnMacAddress)
                             .data(DeviceModel::RawConfigRole)
                             .toByteArray();
    };

    // A device may compare the destination with its own spelling of its MAC:
    // asked by the spelling given and the other letter cases, it answers one.
    QStringList spellings;
    for (const QString &spelling : { macArgument, mac, macArgument.toLower() }) {
        if (!spellings.contains(spelling)) {
            spellings << spelling;
            transceiver->getNetworkConfig(spelling);
        }
    }
    wait(ReadTimeoutMs, [&] { return !configReply().isEmpty(); });
    QByteArray reply = configReply();
    if (reply.isEmpty())
        return fail(NoAnswer, QStringLiteral("%1: Device not responding").arg(mac));
    if (Datagram::status(reply) != Datagram::StatusOk)
        return fail(NoAnswer, QStringLiteral("%1 could not read its settings").arg(mac));
    // From here on the device's own spelling (never cut: it matched the argument).
    mac = Datagram::srcMacAddr(reply);

    Datagram::NetworkSettings settings = Datagram::decodeNetworkConfig(reply);
    if (given("hostname"))
        settings.hostname = value("hostname");
    if (given("dhcp") || given("static"))
        settings.dhcp = given("dhcp") ? QStringLiteral("1") : QStringLiteral("0");
    else if (settings.dhcp != QLatin1String("1"))
        settings.dhcp = QStringLiteral("0"); // as the dialog's combo box would send it
    for (const AddressOption &option : addressOptions) {
        if (given(option.name))
            settings.*option.field = value(option.name);
    }
    if (given("domain"))
        settings.domain = value("domain");
    if (!SettingsCheck::isHostname(settings.hostname))
        return fail(BadInput,
            QStringLiteral("the device's host name \"%1\" cannot be sent back (%2): give "
                           "--hostname; nothing was changed")
                .arg(printable(settings.hostname), hostnameRule));
    const QVector<SettingsCheck::AddressField> invalid = SettingsCheck::invalidAddresses(settings);
    if (!invalid.isEmpty()) {
        const AddressOption &option = addressOptions[invalid.first()];
        return fail(BadInput,
            QStringLiteral("static addressing needs a complete address for --%1 (the device has "
                           "\"%2\"); nothing was changed")
                .arg(QLatin1String(option.name), printable(settings.*option.field)));
    }

    QStringList loginList;
    if (!DeviceSteps::needsLogin(reply) && (given("user") || given("remember"))) {
        note(QStringLiteral("%1 needs no login (protocol version %2): --user, --password-stdin "
                            "and --remember are not used")
                 .arg(mac)
                 .arg(Datagram::protocolVersion(reply)));
    } else if (DeviceSteps::needsLogin(reply)) {
        if (given("user")) {
            bool ended = false;
            const QString password
                = readSecretLine(QStringLiteral("Password for %1: ").arg(mac), &ended);
            if (ended)
                return fail(BadInput, QStringLiteral("no password given; nothing was changed"));
            // Enter alone at a terminal is a slip, not a password.
            if (password.isEmpty() && isTerminal())
                return fail(BadInput, QStringLiteral("empty password; nothing was changed"));
            const QString credentials = value("user") + QLatin1Char(':') + password;
            if (SettingsCheck::unsendableCharacterAt(credentials) >= 0)
                return fail(BadInput,
                    QStringLiteral("the device can receive only Latin-1 characters "
                                   "in the user name and password"));
            if (credentials.size() > SettingsCheck::MaxCredentialsLength)
                return fail(BadInput,
                    QStringLiteral("user name and password together may have at most %1 characters")
                        .arg(SettingsCheck::MaxCredentialsLength - 1));
            if (given("remember") && credentials.contains(QLatin1Char('|')))
                return fail(BadInput,
                    QStringLiteral("a user name or password with \"|\" cannot be remembered"));
            loginList = QStringList { mac, value("user"), password };
        } else {
            loginList = LoginData::load(mac);
            if (loginList.size() != 3)
                return fail(BadInput,
                    QStringLiteral("%1 asks for a login: give --user NAME and --password-stdin")
                        .arg(mac));
        }
    }

    if (!DeviceSteps::sendSettings(transceiver, model, reply, settings, loginList,
            given("remember") && !loginList.isEmpty()))
        return fail(BadInput, QStringLiteral("%1 gave no MAC of its own").arg(mac));

    // The model carries the change on: restart, re-read, or a failure status.
    const QString available = DeviceAvailable().text();
    const QString applying = ApplyingParameters().text();
    const QStringList refusals { AuthorizationFailed().text(), StoredPasswordInvalid().text(),
        RequestFailed().text() };
    const QString notResponding = DeviceNotResponding().text();
    bool restarted = false;
    int code = -1;
    wait(SetTimeoutMs, [&] {
        restarted = restarted || lastStatus == applying;
        if (refusals.contains(lastStatus))
            code = Refused;
        else if (lastStatus == notResponding)
            code = NoAnswer;
        else if (restarted && lastStatus == available)
            code = Success;
        return code >= 0;
    });
    if (code < 0)
        return fail(NoAnswer, QStringLiteral("%1: Device not responding").arg(mac));
    if (code != Success)
        return code;

    reply = configReply();
    const Datagram::NetworkSettings now = Datagram::decodeNetworkConfig(reply);
    const QString ipConfig
        = now.dhcp == QLatin1String("1") ? QStringLiteral("DHCP") : QStringLiteral("static");
    const QList<QPair<QString, QString>> fields { { QStringLiteral("mac"), mac },
        { QStringLiteral("hostname"), now.hostname }, { QStringLiteral("ipConfig"), ipConfig },
        { QStringLiteral("ip"), now.ipAddress }, { QStringLiteral("mask"), now.subnetMask },
        { QStringLiteral("gateway"), now.gateway }, { QStringLiteral("domain"), now.domain },
        { QStringLiteral("dns1"), now.primaryDns }, { QStringLiteral("dns2"), now.secondaryDns } };
    if (given("json")) {
        QJsonObject object;
        for (const auto &field : fields)
            object.insert(field.first, field.second);
        print(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    } else {
        QString output;
        for (const auto &field : fields)
            output
                += field.first + QLatin1String(": ") + printable(field.second) + QLatin1Char('\n');
        print(output);
    }
    return Success;
}

int DeviceCli::exportFile(const QCommandLineParser &parser, const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return fail(BadInput, QStringLiteral("export needs a FILE (see --help)"));
    const QString fileName = arguments.first();
    if (Datagram::isDeviceMac(fileName)
        || fileName.toUpper() == QLatin1String(Datagram::BroadcastMac))
        return fail(BadInput,
            QStringLiteral("\"%1\" is a MAC address, not a FILE: export FILE [MAC ...] (a file "
                           "of that name: ./%1)")
                .arg(fileName));
    QStringList wanted;
    for (const QString &mac : arguments.mid(1)) {
        if (!Datagram::isDeviceMac(mac))
            return fail(
                BadInput, QStringLiteral("\"%1\" is no device's MAC address").arg(printable(mac)));
        wanted << mac.toUpper();
    }
    int code = Success;
    if (!scanFor(parser, &code))
        return code;

    QModelIndexList rows;
    for (const QString &mac : wanted.isEmpty() ? rowMacsInOrder() : wanted) {
        const int row = model->findRow(mac);
        if (row < 0)
            return fail(NoAnswer, QStringLiteral("%1 did not answer; nothing written").arg(mac));
        rows << model->index(row, DeviceModel::ColumnMacAddress);
    }
    const QList<ConnectionExport::Device> devices = ConnectionExport::exportableDevices(rows);
    QStringList skipped;
    for (const QModelIndex &row : qAsConst(rows)) {
        if (ConnectionExport::exportableDevices({ row }).isEmpty())
            skipped << printable(row.data().toString());
    }
    if (!skipped.isEmpty())
        note(QStringLiteral("not exported (a Quorvel device, or no name or IP address): %1")
                 .arg(skipped.join(QLatin1String(", "))));
    if (devices.isEmpty())
        return fail(NoAnswer, QStringLiteral("no device to export; nothing written"));
    const QString failure = ConnectionExport::save(fileName, devices);
    if (!failure.isEmpty())
        return fail(NoAnswer,
            QStringLiteral("The connections could not be exported to %1: %2")
                .arg(fileName, failure));
    note(QStringLiteral("%1 connection(s) exported to %2")
             .arg(QString::number(devices.size()), fileName));
    return Success;
}
