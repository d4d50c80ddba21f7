#pragma once

#include <QString>
#include <QStringList>

// What each platform supplies to the device link; defined once per platform in
// platform_unix.cpp or platform_win.cpp, chosen by the build.

// The port names of every Tarquel device present right now, in the platform's order; empty when
// there is none. Holds no state between calls.
QStringList findDevicePorts();

// The name under which the operating system opens the port that discovery called name.
QString systemPortName(const QString &name);

// What the system can tell about a port that failed for good while it was open.
enum class PortLoss { Unknown, WentAway, HungUp };
PortLoss portLoss(const QString &systemName, qintptr handle);

// Who holds a port that another program has locked, as "name (process PID)", when the lock
// names a process; empty otherwise.
QString portHolder(const QString &systemName);
