#include "connectionrules.h"

ConnectionStep decideConnection(ConnectionEvent event, const QStringList &listed,
                                const QString &openPort, DeviceState deviceFoundBefore)
{
    // After a failed open or a lost port, as if the last tick had not seen the device: the next
    // tick opens it again if it is still listed, which is also how a reset device comes back.
    if (event == ConnectionEvent::OpenFailed)
        return {ConnectionVerdict::ReportNotFound, DeviceState::Unopenable};
    if (event == ConnectionEvent::PortLost)
        return {ConnectionVerdict::Disconnect, DeviceState::Absent};
    if (!openPort.isEmpty() && listed.contains(openPort, Qt::CaseSensitive))
        return {ConnectionVerdict::Nothing, deviceFoundBefore};
    // The open port is gone, even if other devices are listed: those get their turn at the next
    // tick, after this one has disconnected.
    const bool deviceFound = openPort.isEmpty() && !listed.isEmpty();
    // A device that could not be opened and is now unplugged: its cause no longer holds.
    if (deviceFoundBefore == DeviceState::Unopenable && !deviceFound)
        return {ConnectionVerdict::Disconnect, DeviceState::Absent};
    if (deviceFound == (deviceFoundBefore == DeviceState::Found))
        return {ConnectionVerdict::Nothing, deviceFoundBefore};
    if (deviceFound)
        return {ConnectionVerdict::Open, DeviceState::Found};
    return {ConnectionVerdict::Disconnect, DeviceState::Absent};
}
