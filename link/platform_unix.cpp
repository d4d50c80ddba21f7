// The device link on Linux and other Unix systems: discovery reads sysfs, and port names go to
// the serial library as they are (a bare name means /dev/<name>, a path is used unchanged).

#include "link/platform.h"
#include "link/sysfsdevices.h"

QStringList findDevicePorts()
{
    return SysfsDevices().tarquelPorts();
}

QString systemPortName(const QString &name)
{
    return name;
}
