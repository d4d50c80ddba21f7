#pragma once

#include "link/windowsdevices.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

// Device discovery without the operating system: the filters, the USB ID matching and the port
// name rules, shared by every platform layer. The layers only gather the raw attributes.

// What discovery knows about one present device.
struct DeviceAttributes
{
    // The port the system files the device under (Windows: the "PortName" registry value,
    // Linux: the kernel name).
    QString registryPortName;
    QStringList hardwareIds;
    QString friendlyName;
};

// Where the name that discovery reports for a matching device comes from.
enum class PortNameSource {
    // Windows: cut out of the upper-cased friendly name, "USB Serial Device (COM5)" -> "COM5".
    FriendlyName,
    // Linux: the kernel name as it stands, since device names there are case-sensitive.
    RegistryPortName,
};

// False for an empty name and for parallel ports ("LPT" anywhere, case-sensitive).
bool isSerialPortName(const QString &registryPortName);

// Group 1 (vendor) or 2 (product) of "vid_(\w+)&pid_(\w+)" in the first hardware ID only,
// case-insensitive; empty when there is no match or no hardware ID.
QString extractUsbId(int group, const QStringList &hardwareIds);

// Vendor 04D8 with product 000A or 00DF, compared upper-cased as "contains", not equality.
bool isTarquelUsbId(const QString &vendor, const QString &product);

// The COM port named in a friendly name, upper-cased: from the COM of the first "(COM" to the
// next ")" or the end. Empty unless the name holds both "(COM" and ")".
QString portNameFromFriendlyName(const QString &friendlyName);

// The port to report for one device, or an empty string when the device is not a Tarquel serial
// port.
QString tarquelPortName(const DeviceAttributes &device, PortNameSource source);

// The ports of the matching devices, in the given order; duplicates are kept.
QStringList tarquelPorts(const QList<DeviceAttributes> &devices, PortNameSource source);

// Windows registry data as the Windows layer reads it, turned into the same attributes.

// A device registry property converted by its registry type: text for REG_SZ and
// REG_EXPAND_SZ, a string list for REG_MULTI_SZ, raw UTF-16 for REG_NONE and REG_BINARY, a
// number for the two DWORD types; a null variant for any other type.
QVariant registryPropertyValue(quint32 type, const QByteArray &data);

// The text of the first REG_SZ value whose name contains "PortName" (case-sensitive); empty
// when there is none.
QString registryPortName(const std::vector<WindowsDevices::RegistryValue> &values);

DeviceAttributes deviceAttributes(const WindowsDevices::DeviceRecord &record);

// Searches the device classes in order through listClass; a class the system refuses to list
// ends the search with what was found so far.
using DeviceClassLister
    = std::function<std::optional<std::vector<WindowsDevices::DeviceRecord>>(int classIndex)>;
QStringList findWindowsDevicePorts(const DeviceClassLister &listClass);
