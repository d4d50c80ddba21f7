#pragma once

#include <QStringList>

// What the last tick saw of the device: none, one that is open, or one whose port could not be
// opened (its cause still on screen until it is opened or goes).
enum class DeviceState { Absent, Found, Unopenable };
// What asks for a decision: the tick, an open that failed within it, or the port's loss.
enum class ConnectionEvent { Tick, OpenFailed, PortLost };
// Open the first listed port; say that it cannot be opened; say that the device is gone and
// disconnect. Either report leaves the views disconnected.
enum class ConnectionVerdict { Nothing, Open, ReportNotFound, Disconnect };

// What to do, and what the next tick takes as seen before.
struct ConnectionStep
{
    ConnectionVerdict verdict;
    DeviceState deviceFoundBefore;
};

// The connection supervision's rules, free of windows and ports. openPort is the channel's port,
// empty without a channel.
ConnectionStep decideConnection(ConnectionEvent event, const QStringList &listed,
                                const QString &openPort, DeviceState deviceFoundBefore);
