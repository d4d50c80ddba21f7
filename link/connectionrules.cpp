#include "connectionrules.h"

ConnectionStep decideConnection(const ConnectionFacts &facts)
{
    switch (facts.event) {
    case ConnectionEvent::OpenFailed:
        // Still listed, so the next tick tries again.
        return {ConnectionVerdict::ReportNotFound, DeviceState::Absent};
    case ConnectionEvent::PortLost:
        // As if the last tick had not seen the device: the next tick opens it again if it is
        // still listed, which is how a device that was reset comes back.
        return {ConnectionVerdict::Disconnect, DeviceState::Absent};
    case ConnectionEvent::Tick:
        break;
    }
    const DeviceState before = facts.deviceFoundBefore;
    if (!facts.openPort.isEmpty() && facts.listed.contains(facts.openPort, Qt::CaseSensitive))
        return {ConnectionVerdict::Nothing, before};
    // The open port is gone, even if other devices are listed: those get their turn at the next
    // tick, after this one has disconnected.
    const bool deviceFound = facts.openPort.isEmpty() && !facts.listed.isEmpty();
    if (deviceFound == (before == DeviceState::Found))
        return {ConnectionVerdict::Nothing, before};
    if (deviceFound)
        return {ConnectionVerdict::Open, DeviceState::Found};
    return {ConnectionVerdict::Disconnect, DeviceState::Absent};
}
