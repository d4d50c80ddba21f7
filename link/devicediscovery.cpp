#include "devicediscovery.h"

#include <QRegularExpression>

namespace {

// Windows keeps registry text as little-endian UTF-16; a trailing odd byte is not a unit.
QString utf16Units(const QByteArray &data)
{
    QString text;
    text.reserve(data.size() / 2);
    for (int i = 0; i + 1 < data.size(); i += 2)
        text.append(QChar(ushort(uchar(data[i]) | (uchar(data[i + 1]) << 8))));
    return text;
}

QString upToFirstNul(const QString &text)
{
    const int end = text.indexOf(QChar(0));
    return end < 0 ? text : text.left(end);
}

QByteArray toByteArray(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

} // namespace

bool isSerialPortName(const QString &registryPortName)
{
    return !registryPortName.isEmpty() && !registryPortName.contains(QLatin1String("LPT"));
}

QString extractUsbId(int group, const QStringList &hardwareIds)
{
    if (hardwareIds.isEmpty())
        return QString();
    const QRegularExpression pattern(QStringLiteral("vid_(\\w+)&pid_(\\w+)"),
                                     QRegularExpression::CaseInsensitiveOption
                                         | QRegularExpression::UseUnicodePropertiesOption);
    return pattern.match(hardwareIds.first()).captured(group);
}

bool isTarquelUsbId(const QString &vendor, const QString &product)
{
    const QString upperVendor = vendor.toUpper();
    const QString upperProduct = product.toUpper();
    return upperVendor.contains(QLatin1String("04D8"))
           && (upperProduct.contains(QLatin1String("000A"))
               || upperProduct.contains(QLatin1String("00DF")));
}

QString portNameFromFriendlyName(const QString &friendlyName)
{
    const QString upper = friendlyName.toUpper();
    const QString opening = QStringLiteral("(COM");
    if (!upper.contains(opening) || !upper.contains(QLatin1Char(')')))
        return QString();
    const int start = upper.indexOf(opening) + 1;
    const int end = upper.indexOf(QLatin1Char(')'), start);
    return end < 0 ? upper.mid(start) : upper.mid(start, end - start);
}

QString tarquelPortName(const DeviceAttributes &device, PortNameSource source)
{
    if (!isSerialPortName(device.registryPortName))
        return QString();
    if (!isTarquelUsbId(extractUsbId(1, device.hardwareIds), extractUsbId(2, device.hardwareIds)))
        return QString();
    if (source == PortNameSource::FriendlyName)
        return portNameFromFriendlyName(device.friendlyName);
    return device.registryPortName;
}

QStringList tarquelPorts(const QList<DeviceAttributes> &devices, PortNameSource source)
{
    QStringList ports;
    for (const DeviceAttributes &device : devices) {
        const QString port = tarquelPortName(device, source);
        if (!port.isEmpty())
            ports.append(port);
    }
    return ports;
}

QVariant registryPropertyValue(quint32 type, const QByteArray &data)
{
    using namespace WindowsDevices;
    switch (type) {
    case RegSz:
    case RegExpandSz:
        return upToFirstNul(utf16Units(data));
    case RegMultiSz: {
        // Strings one after the other, each ended by a NUL; an empty one ends the list. A last
        // string that lacks its NUL still counts rather than being lost.
        QStringList strings;
        for (const QString &part : utf16Units(data).split(QChar(0))) {
            if (part.isEmpty())
                break;
            strings.append(part);
        }
        return strings;
    }
    case RegNone:
    case RegBinary:
        return utf16Units(data);
    case RegDword:
    case RegDwordBigEndian: {
        // The first four bytes as Windows stores them in memory (little-endian), not swapped.
        // A shorter property reads as if padded with zeros.
        quint32 value = 0;
        for (int i = 0; i < 4 && i < data.size(); ++i)
            value |= quint32(uchar(data[i])) << (8 * i);
        return value;
    }
    default:
        return QVariant();
    }
}

QString registryPortName(const std::vector<WindowsDevices::RegistryValue> &values)
{
    for (const WindowsDevices::RegistryValue &value : values) {
        if (value.type != WindowsDevices::RegSz)
            continue;
        if (QString::fromStdU16String(value.name).contains(QLatin1String("PortName")))
            return upToFirstNul(utf16Units(toByteArray(value.data)));
    }
    return QString();
}

DeviceAttributes deviceAttributes(const WindowsDevices::DeviceRecord &record)
{
    // A property that could not be read is a null variant: no hardware IDs, no friendly name.
    const auto property = [](const WindowsDevices::RegistryProperty &read) {
        return read.read ? registryPropertyValue(read.type, toByteArray(read.data)) : QVariant();
    };
    DeviceAttributes device;
    device.registryPortName = registryPortName(record.hardwareKeyValues);
    device.hardwareIds = property(record.hardwareIds).toStringList();
    device.friendlyName = property(record.friendlyName).toString();
    return device;
}

QStringList findWindowsDevicePorts(const DeviceClassLister &listClass)
{
    QStringList ports;
    for (int classIndex = 0; classIndex < WindowsDevices::deviceClassCount; ++classIndex) {
        const std::optional<std::vector<WindowsDevices::DeviceRecord>> records
            = listClass(classIndex);
        if (!records)
            break;
        QList<DeviceAttributes> devices;
        for (const WindowsDevices::DeviceRecord &record : *records)
            devices.append(deviceAttributes(record));
        ports += tarquelPorts(devices, PortNameSource::FriendlyName);
    }
    return ports;
}
