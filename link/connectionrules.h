#pragma once

#include <QString>
#include <QStringList>

// What the last tick saw of the device.
enum class DeviceState { Absent, Found };

// What asks the supervision to decide: its tick, an open that failed within the tick, or the
// channel reporting that its port is gone.
enum class ConnectionEvent { Tick, OpenFailed, PortLost };

// What the main window does about it.
enum class ConnectionVerdict {
    Nothing,
    Open,           // a device appeared: open the first listed port
    ReportNotFound, // it cannot be opened: say why and stay disconnected
    Disconnect,     // the device is gone: say so, tear the channel down, disconnect the views
};

// Everything the decision depends on: openPort is the channel's port, empty without a channel.
struct ConnectionFacts
{
    ConnectionEvent event;
    QStringList listed;
    QString openPort;
    DeviceState deviceFoundBefore;
};

// A verdict, and what the next tick is to take as seen before.
struct ConnectionStep
{
    ConnectionVerdict verdict;
    DeviceState deviceFoundBefore;
};

// The connection supervision's rules, free of windows and ports.
ConnectionStep decideConnection(const ConnectionFacts &facts);
