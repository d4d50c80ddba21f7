// The device link on Windows: discovery asks SetupAPI and the registry, and ports are opened in
// the device namespace.

#include "link/devicediscovery.h"
#include "link/platform.h"
#include "link/serialport.h"
#include "link/windowsdevices.h"

QStringList findDevicePorts()
{
    return findWindowsDevicePorts(&WindowsDevices::listClassDevices);
}

QString systemPortName(const QString &name)
{
    return windowsSystemPortName(name);
}

PortLoss portLoss(const QString &, qintptr)
{
    return PortLoss::Unknown;
}

PortLock checkPortLock(const QString &)
{
    // Windows ports have no lock files: the system itself refuses a port that is open already.
    return PortLock();
}
