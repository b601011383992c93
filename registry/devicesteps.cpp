#include "devicesteps.h"

#include "devicemodel.h"
#include "packettransceiver.h"
#include "settingscheck.h"

namespace DeviceSteps {

void connectModel(PacketTransceiver *transceiver, DeviceModel *model)
{
    QObject::connect(
        transceiver, &PacketTransceiver::replyReceived, model, &DeviceModel::onDeviceReplyReceived);
    QObject::connect(
        transceiver, &PacketTransceiver::requestSent, model, &DeviceModel::onDeviceRequestSent);
    QObject::connect(model, &DeviceModel::sendGetEthConfiguration, transceiver,
        qOverload<QString>(&PacketTransceiver::getNetworkConfig));
    QObject::connect(
        model, &DeviceModel::sendRestartNetwork, transceiver, &PacketTransceiver::restartNetwork);
}

bool needsLogin(const QByteArray &configReply)
{
    return Datagram::protocolVersion(configReply) >= FirstAuthenticatedVersion;
}

bool sendSettings(PacketTransceiver *transceiver, DeviceModel *model, const QByteArray &configReply,
    const Datagram::NetworkSettings &typed, const QStringList &loginList, bool remember)
{
    const Datagram::NetworkSettings settings = SettingsCheck::withCanonicalAddresses(typed);
    // A stored reply cut short reads as empty texts and version 0 where it
    // ends. The request goes to its MAC text cut to the field (a device's MAC
    // is always 17 ASCII characters, so never cut).
    const QString mac = Datagram::srcMacAddr(configReply);
    if (!Datagram::isDeviceMac(mac))
        return false;
    if (!needsLogin(configReply)) {
        transceiver->sendRequest(
            Datagram::SetNetworkConfig, mac, Datagram::encodeNetworkConfig(mac, settings));
        return true;
    }
    if (loginList.size() != 3)
        return false;
    transceiver->sendRequest(Datagram::SetNetworkConfigAuth, mac,
        Datagram::encodeNetworkConfigAuth(settings, loginList.at(1), loginList.at(2)));
    // Kept by the model for this request alone: stored once the device has
    // accepted them, when asked to.
    model->setPendingLoginData(loginList, remember);
    return true;
}

} // namespace DeviceSteps
