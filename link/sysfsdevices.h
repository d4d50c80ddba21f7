#pragma once

#include "link/devicediscovery.h"

#include <QList>
#include <QString>
#include <QStringList>

// The Linux layer of device discovery: reads the USB serial devices the kernel lists in sysfs
// and gives each the attributes that Windows would keep for it in its registry.
class SysfsDevices
{
public:
    // root is where sysfs is mounted; tests point it at a fixture tree.
    explicit SysfsDevices(const QString &root = QStringLiteral("/sys"));

    // Every tty with a USB device among its ancestors, in name order with numbers compared as
    // numbers (ttyACM2 before ttyACM10). Missing or unreadable trees give an empty list.
    QList<DeviceAttributes> devices() const;

    // The kernel names of the Tarquel devices among them.
    QStringList tarquelPorts() const;

private:
    QString m_root;
};
