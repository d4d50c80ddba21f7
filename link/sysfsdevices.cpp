#include "sysfsdevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Orders names the way a person counts: runs of digits compare by value.
bool naturalLess(const QString &left, const QString &right)
{
    int i = 0;
    int j = 0;
    while (i < left.size() && j < right.size()) {
        if (left[i].isDigit() && right[j].isDigit()) {
            int leftEnd = i;
            while (leftEnd < left.size() && left[leftEnd].isDigit())
                ++leftEnd;
            int rightEnd = j;
            while (rightEnd < right.size() && right[rightEnd].isDigit())
                ++rightEnd;
            // Compare by value without overflow: skip leading zeros, then the longer is larger.
            int leftStart = i;
            while (leftStart + 1 < leftEnd && left[leftStart] == QLatin1Char('0'))
                ++leftStart;
            int rightStart = j;
            while (rightStart + 1 < rightEnd && right[rightStart] == QLatin1Char('0'))
                ++rightStart;
            const auto leftDigits = QStringView(left).mid(leftStart, leftEnd - leftStart);
            const auto rightDigits = QStringView(right).mid(rightStart, rightEnd - rightStart);
            if (leftDigits.size() != rightDigits.size())
                return leftDigits.size() < rightDigits.size();
            if (leftDigits != rightDigits)
                return leftDigits < rightDigits;
            i = leftEnd;
            j = rightEnd;
        } else {
            if (left[i] != right[j])
                return left[i] < right[j];
            ++i;
            ++j;
        }
    }
    if ((left.size() - i) != (right.size() - j))
        return (left.size() - i) < (right.size() - j);
    return left < right;
}

QString readAttribute(const QString &folder, const QString &name)
{
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

bool isUsbDevice(const QString &folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/idVendor"))
           && QFileInfo::exists(folder + QStringLiteral("/idProduct"));
}

// The nearest folder at or above path, inside root, that describes a USB device; empty when the
// tty does not hang off USB.
QString usbAncestor(QString path, const QString &root)
{
    while (path.startsWith(root + QLatin1Char('/'))) {
        if (isUsbDevice(path))
            return path;
        path = QFileInfo(path).path();
    }
    return QString();
}

} // namespace

SysfsDevices::SysfsDevices(const QString &root)
    : m_root(root)
{}

QList<DeviceAttributes> SysfsDevices::devices() const
{
    QList<DeviceAttributes> result;
    // The device links point into <root>/devices; resolving both sides keeps the walk up from
    // leaving the tree.
    const QString root = QFileInfo(m_root).canonicalFilePath();
    if (root.isEmpty())
        return result;
    const QDir ttyClass(root + QStringLiteral("/class/tty"));
    QStringList names = ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), naturalLess);

    for (const QString &name : names) {
        const QFileInfo deviceLink(ttyClass.filePath(name) + QStringLiteral("/device"));
        if (!deviceLink.exists())
            continue;
        const QString usb = usbAncestor(deviceLink.canonicalFilePath(), root);
        if (usb.isEmpty())
            continue;

        const QString vendor = readAttribute(usb, QStringLiteral("idVendor"));
        const QString product = readAttribute(usb, QStringLiteral("idProduct"));
        const QString revision = readAttribute(usb, QStringLiteral("bcdDevice"));
        const QString shortId
            = QStringLiteral("USB\\VID_") + vendor + QStringLiteral("&PID_") + product;

        DeviceAttributes device;
        device.registryPortName = name;
        if (!revision.isEmpty())
            device.hardwareIds.append(shortId + QStringLiteral("&REV_") + revision);
        device.hardwareIds.append(shortId);
        QString description = readAttribute(usb, QStringLiteral("product"));
        if (description.isEmpty())
            description = QStringLiteral("USB Serial Device");
        device.friendlyName = description + QStringLiteral(" (") + name + QLatin1Char(')');
        result.append(device);
    }
    return result;
}

QStringList SysfsDevices::tarquelPorts() const
{
    return ::tarquelPorts(devices(), PortNameSource::RegistryPortName);
}
