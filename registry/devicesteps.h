#pragma once

#include "datagram.h"

#include <QByteArray>
#include <QList>
#include <QModelIndexList>
#include <QString>
#include <QStringList>

class DeviceModel;
class PacketTransceiver;

// The steps of a settings change that the window and the command line take
// alike, so both talk to the devices the same way (a scan is a ScanCycle).
namespace DeviceSteps {

// Below this protocol version a device takes its settings without credentials.
inline constexpr quint8 FirstAuthenticatedVersion = 4;

// Lets the model hear of every reply and request of the transceiver and send
// its restart and re-read requests through it.
void connectModel(PacketTransceiver *transceiver, DeviceModel *model);

// Whether the device of a stored configuration reply takes only authenticated requests.
bool needsLogin(const QByteArray &configReply);

// Sends the device of `configReply` its new settings: a plain set below the
// authenticated version, else one with the credentials of `loginList` ([MAC,
// user, password]), which the model stores once the device has accepted them
// when `remember` is set. Addresses go out in their canonical form. False,
// with nothing sent, when the reply names no single device: anything else
// could give every device the same settings.
bool sendSettings(PacketTransceiver *transceiver, DeviceModel *model, const QByteArray &configReply,
    const Datagram::NetworkSettings &settings, const QStringList &loginList, bool remember);

} // namespace DeviceSteps
