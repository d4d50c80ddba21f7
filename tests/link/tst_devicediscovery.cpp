// Device discovery's platform-free logic: the port-name filter, the USB ID pattern and matching,
// the friendly-name cut, and the reading of raw Windows registry data, end to end through the
// class search with a stand-in for SetupAPI.

#include "link/devicediscovery.h"

#include <QtTest>

Q_DECLARE_METATYPE(PortNameSource)

namespace {

using WindowsDevices::DeviceRecord;
using WindowsDevices::RegistryProperty;
using WindowsDevices::RegistryValue;

// Little-endian UTF-16, as Windows stores registry text; no terminator is added.
QByteArray utf16Bytes(const QString &text)
{
    QByteArray bytes;
    for (const QChar unit : text) {
        bytes.append(char(unit.unicode() & 0xff));
        bytes.append(char(unit.unicode() >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> toVector(const QByteArray &bytes)
{
    return std::vector<std::uint8_t>(bytes.cbegin(), bytes.cend());
}

RegistryProperty rawProperty(std::uint32_t type, const QByteArray &bytes)
{
    RegistryProperty read;
    read.read = true;
    read.type = type;
    read.data = toVector(bytes);
    return read;
}

RegistryProperty stringProperty(const QString &text)
{
    return rawProperty(WindowsDevices::RegSz, utf16Bytes(text + QChar(0)));
}

RegistryProperty multiStringProperty(const QStringList &strings)
{
    QString text;
    for (const QString &string : strings)
        text += string + QChar(0);
    return rawProperty(WindowsDevices::RegMultiSz, utf16Bytes(text + QChar(0)));
}

RegistryValue value(const QString &name, std::uint32_t type, const QString &text)
{
    RegistryValue read;
    read.name = name.toStdU16String();
    read.type = type;
    read.data = toVector(utf16Bytes(text + QChar(0)));
    return read;
}

// A device as SetupAPI and the registry would describe it.
DeviceRecord record(const QString &portName, const QStringList &hardwareIds,
                    const QString &friendlyName)
{
    DeviceRecord device;
    if (!portName.isNull())
        device.hardwareKeyValues
            = {value(QStringLiteral("PortName"), WindowsDevices::RegSz, portName)};
    if (!hardwareIds.isEmpty())
        device.hardwareIds = multiStringProperty(hardwareIds);
    device.friendlyName = stringProperty(friendlyName);
    return device;
}

DeviceRecord tarquelOn(const QString &com)
{
    return record(com, {QStringLiteral("USB\\VID_04D8&PID_000A&REV_0100")},
                  QStringLiteral("USB Serial Device (%1)").arg(com));
}

// Rows describe registry values as "type|name|text" entries.
std::vector<RegistryValue> parseValues(const QStringList &rows)
{
    std::vector<RegistryValue> values;
    for (const QString &row : rows) {
        const QStringList fields = row.split(QLatin1Char('|'));
        values.push_back(value(fields.at(1), fields.at(0).toUInt(), fields.at(2)));
    }
    return values;
}

} // namespace

// Tests of the discovery rules that every platform layer shares.
class TestDeviceDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void serialPortNames_data();
    void serialPortNames();
    void usbIdPattern_data();
    void usbIdPattern();
    void tarquelIds_data();
    void tarquelIds();
    void friendlyNameCut_data();
    void friendlyNameCut();
    void matchingDevices_data();
    void matchingDevices();
    void registryPropertyConversion_data();
    void registryPropertyConversion();
    void registryPortNameValue_data();
    void registryPortNameValue();
    void windowsSearch();
    void windowsSearchStopsAtARefusedClass();
    void windowsRecordsThatDoNotQualify();
};

void TestDeviceDiscovery::serialPortNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("serial");
    QTest::newRow("COM port") << "COM5" << true;
    QTest::newRow("kernel name") << "ttyACM0" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("parallel port") << "LPT1" << false;
    QTest::newRow("LPT inside the name") << "xLPTy" << false;
    QTest::newRow("lower-case lpt is no parallel port") << "lpt1" << true;
}

void TestDeviceDiscovery::serialPortNames()
{
    QFETCH(QString, name);
    QTEST(isSerialPortName(name), "serial");
}

void TestDeviceDiscovery::usbIdPattern_data()
{
    QTest::addColumn<QStringList>("hardwareIds");
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("product");

    QTest::newRow("full ID") << QStringList{"USB\\VID_04D8&PID_000A&REV_0100"} << "04D8"
                             << "000A";
    QTest::newRow("short ID") << QStringList{"USB\\VID_04D8&PID_00DF"} << "04D8"
                              << "00DF";
    QTest::newRow("lower case") << QStringList{"usb\\vid_04d8&pid_00df"} << "04d8"
                                << "00df";
    QTest::newRow("mixed case") << QStringList{"USB\\Vid_04d8&Pid_000a"} << "04d8"
                                << "000a";
    QTest::newRow("found anywhere") << QStringList{"FTDIBUS\\COMPORT&VID_0403&PID_6001"} << "0403"
                                    << "6001";
    QTest::newRow("word characters run on")
        << QStringList{"USB\\VID_04D8_2&PID_000A_B\\X"} << "04D8_2"
        << "000A_B";
    QTest::newRow("first ID only") << QStringList{"USB\\ROOT_HUB", "USB\\VID_04D8&PID_000A"} << ""
                                   << "";
    QTest::newRow("later IDs ignored")
        << QStringList{"USB\\VID_1234&PID_5678", "USB\\VID_04D8&PID_000A"} << "1234"
        << "5678";
    QTest::newRow("no ID") << QStringList{} << ""
                           << "";
    QTest::newRow("empty ID") << QStringList{""} << ""
                              << "";
}

void TestDeviceDiscovery::usbIdPattern()
{
    QFETCH(QStringList, hardwareIds);
    QTEST(extractUsbId(1, hardwareIds), "vendor");
    QTEST(extractUsbId(2, hardwareIds), "product");
}

void TestDeviceDiscovery::tarquelIds_data()
{
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("product");
    QTest::addColumn<bool>("tarquel");

    QTest::newRow("000A") << "04D8"
                          << "000A" << true;
    QTest::newRow("00DF") << "04D8"
                          << "00DF" << true;
    QTest::newRow("lower case") << "04d8"
                                << "000a" << true;
    QTest::newRow("other product") << "04D8"
                                   << "00DE" << false;
    QTest::newRow("other vendor") << "1234"
                                  << "000A" << false;
    QTest::newRow("contains, not equals") << "X04D8"
                                          << "000AB" << true;
    QTest::newRow("nothing") << ""
                             << "" << false;
}

void TestDeviceDiscovery::tarquelIds()
{
    QFETCH(QString, vendor);
    QFETCH(QString, product);
    QTEST(isTarquelUsbId(vendor, product), "tarquel");
}

void TestDeviceDiscovery::friendlyNameCut_data()
{
    QTest::addColumn<QString>("friendlyName");
    QTest::addColumn<QString>("port");

    QTest::newRow("USB serial device") << "USB Serial Device (COM5)"
                                       << "COM5";
    QTest::newRow("COM before the group") << "Communications Port (COM3)"
                                          << "COM3";
    QTest::newRow("upper-cased") << "usb serial device (com7)"
                                 << "COM7";
    QTest::newRow("first group wins") << "Device (COM12) (COM3)"
                                      << "COM12";
    QTest::newRow("no closing parenthesis") << "Device (COM4"
                                            << "";
    QTest::newRow("closing parenthesis only before") << "Left) Device (COM4"
                                                     << "COM4";
    QTest::newRow("no COM group") << "Tarquel (ttyACM0)"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDeviceDiscovery::friendlyNameCut()
{
    QFETCH(QString, friendlyName);
    QTEST(portNameFromFriendlyName(friendlyName), "port");
}

void TestDeviceDiscovery::matchingDevices_data()
{
    QTest::addColumn<QStringList>("device");
    QTest::addColumn<PortNameSource>("source");
    QTest::addColumn<QString>("port");

    const QString id = QStringLiteral("USB\\VID_04D8&PID_000A&REV_0100");
    const auto onWindows = PortNameSource::FriendlyName;
    const auto onLinux = PortNameSource::RegistryPortName;

    // Each device is {registry port name, friendly name, hardware IDs...}.
    QTest::newRow("typical device")
        << QStringList{"COM5", "USB Serial Device (COM5)", id} << onWindows << "COM5";
    QTest::newRow("port from the friendly name, not the registry")
        << QStringList{"COM9", "USB Serial Device (COM5)", id} << onWindows << "COM5";
    QTest::newRow("00DF") << QStringList{"COM5", "Dev (COM5)", "USB\\VID_04D8&PID_00DF"}
                          << onWindows << "COM5";
    QTest::newRow("00DE") << QStringList{"COM5", "Dev (COM5)", "USB\\VID_04D8&PID_00DE"}
                          << onWindows << "";
    QTest::newRow("lower-case IDs")
        << QStringList{"COM5", "Dev (COM5)", "usb\\vid_04d8&pid_00df"} << onWindows << "COM5";
    QTest::newRow("parallel port") << QStringList{"LPT1", "Dev (COM5)", id} << onWindows << "";
    QTest::newRow("no registry port name") << QStringList{"", "Dev (COM5)", id} << onWindows << "";
    QTest::newRow("friendly name without COM")
        << QStringList{"COM5", "Tarquel Port", id} << onWindows << "";
    QTest::newRow("no hardware IDs") << QStringList{"COM5", "Dev (COM5)"} << onWindows << "";
    QTest::newRow("kernel name on Linux")
        << QStringList{"ttyACM0", "Tarquel (ttyACM0)", "USB\\VID_04d8&PID_000a&REV_0100"} << onLinux
        << "ttyACM0";
    QTest::newRow("Linux keeps the case") << QStringList{"ttyACM0", "", id} << onLinux << "ttyACM0";
    QTest::newRow("Linux still matches the IDs")
        << QStringList{"ttyACM0", "", "USB\\VID_04D8&PID_00DE"} << onLinux << "";
}

void TestDeviceDiscovery::matchingDevices()
{
    QFETCH(QStringList, device);
    QFETCH(PortNameSource, source);

    DeviceAttributes attributes;
    attributes.registryPortName = device.at(0);
    attributes.friendlyName = device.at(1);
    attributes.hardwareIds = device.mid(2);
    QTEST(tarquelPortName(attributes, source), "port");
}

void TestDeviceDiscovery::registryPropertyConversion_data()
{
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVariant>("expected");

    const QString nul(QChar(0));
    QTest::newRow("REG_SZ") << 1u << utf16Bytes("USB Serial Device (COM5)" + nul)
                            << QVariant(QStringLiteral("USB Serial Device (COM5)"));
    QTest::newRow("REG_SZ up to the first NUL")
        << 1u << utf16Bytes("ab" + nul + "cd" + nul) << QVariant(QStringLiteral("ab"));
    QTest::newRow("REG_SZ without NUL") << 1u << utf16Bytes("ab") << QVariant(QStringLiteral("ab"));
    QTest::newRow("REG_SZ of size 0") << 1u << QByteArray() << QVariant(QString());
    QTest::newRow("REG_SZ odd byte ignored")
        << 1u << utf16Bytes("ab") + 'x' << QVariant(QStringLiteral("ab"));
    QTest::newRow("REG_SZ beyond Latin-1") << 1u << utf16Bytes(QString::fromUtf8("Gerät €") + nul)
                                           << QVariant(QString::fromUtf8("Gerät €"));
    QTest::newRow("REG_EXPAND_SZ")
        << 2u << utf16Bytes("%SystemRoot%" + nul) << QVariant(QStringLiteral("%SystemRoot%"));
    QTest::newRow("REG_MULTI_SZ") << 7u
                                  << utf16Bytes("USB\\VID_04D8&PID_000A&REV_0100" + nul
                                                + "USB\\VID_04D8&PID_000A" + nul + nul)
                                  << QVariant(QStringList{"USB\\VID_04D8&PID_000A&REV_0100",
                                                          "USB\\VID_04D8&PID_000A"});
    QTest::newRow("REG_MULTI_SZ up to the first empty string")
        << 7u << utf16Bytes("A" + nul + nul + "B" + nul + nul) << QVariant(QStringList{"A"});
    QTest::newRow("REG_MULTI_SZ last string unterminated")
        << 7u << utf16Bytes("A" + nul + "B") << QVariant(QStringList{"A", "B"});
    QTest::newRow("REG_MULTI_SZ of size 0") << 7u << QByteArray() << QVariant(QStringList());
    QTest::newRow("REG_NONE as raw UTF-16")
        << 0u << utf16Bytes("hi" + nul) << QVariant(QString("hi" + nul));
    QTest::newRow("REG_BINARY odd size")
        << 3u << QByteArray("h\0i\0!", 5) << QVariant(QStringLiteral("hi"));
    QTest::newRow("REG_BINARY of size 0") << 3u << QByteArray() << QVariant(QString());
    QTest::newRow("REG_DWORD") << 4u << QByteArray("\x12\x34\x56\x78", 4) << QVariant(0x78563412u);
    QTest::newRow("REG_DWORD_BIG_ENDIAN not swapped")
        << 5u << QByteArray("\x12\x34\x56\x78", 4) << QVariant(0x78563412u);
    QTest::newRow("REG_DWORD first four bytes only")
        << 4u << QByteArray("\x01\x00\x00\x00\xff", 5) << QVariant(1u);
    QTest::newRow("REG_DWORD short") << 4u << QByteArray("\x01\x02", 2) << QVariant(0x0201u);
    QTest::newRow("REG_LINK is not converted") << 6u << utf16Bytes("x") << QVariant();
    QTest::newRow("REG_QWORD is not converted") << 11u << QByteArray(8, '\1') << QVariant();
}

void TestDeviceDiscovery::registryPropertyConversion()
{
    QFETCH(uint, type);
    QFETCH(QByteArray, data);
    QFETCH(QVariant, expected);

    const QVariant actual = registryPropertyValue(type, data);
    QCOMPARE(actual.userType(), expected.userType());
    QCOMPARE(actual, expected);
}

void TestDeviceDiscovery::registryPortNameValue_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("port");

    QTest::newRow("port name") << QStringList{"1|PortName|COM5"} << "COM5";
    QTest::newRow("among other values")
        << QStringList{"1|FriendlyName|Dev", "4|PollingPeriod|x", "1|PortName|COM5"} << "COM5";
    QTest::newRow("name contains PortName") << QStringList{"1|MyPortNameX|COM8"} << "COM8";
    QTest::newRow("case-sensitive name") << QStringList{"1|portname|COM8"} << "";
    QTest::newRow("only REG_SZ counts")
        << QStringList{"2|PortName|COM9", "1|PortName|COM5"} << "COM5";
    QTest::newRow("first match wins")
        << QStringList{"1|PortName|COM5", "1|PortName|COM6"} << "COM5";
    QTest::newRow("first match wins even when empty")
        << QStringList{"1|PortName|", "1|PortName|COM6"} << "";
    QTest::newRow("no port name") << QStringList{"1|Other|COM5"} << "";
    QTest::newRow("no values") << QStringList{} << "";
}

void TestDeviceDiscovery::registryPortNameValue()
{
    QFETCH(QStringList, values);
    QTEST(registryPortName(parseValues(values)), "port");
}

void TestDeviceDiscovery::windowsSearch()
{
    // Class 0 (ports) holds a parallel port and two devices; class 2 (modems) one more; the USB
    // class lists the first device again.
    QList<int> asked;
    const auto lister = [&](int classIndex) -> std::optional<std::vector<DeviceRecord>> {
        asked.append(classIndex);
        switch (classIndex) {
        case 0:
            return std::vector<DeviceRecord>{
                record("LPT1", {"USB\\VID_04D8&PID_000A"}, "Printer Port (LPT1)"),
                tarquelOn("COM7"), tarquelOn("COM5")};
        case 2:
            return std::vector<DeviceRecord>{
                record("COM3", {"usb\\vid_04d8&pid_00df"}, "Communications Port (COM3)")};
        case 5:
            return std::vector<DeviceRecord>{tarquelOn("COM7")};
        default:
            return std::vector<DeviceRecord>{};
        }
    };
    QCOMPARE(findWindowsDevicePorts(lister), (QStringList{"COM7", "COM5", "COM3", "COM7"}));
    QCOMPARE(asked, (QList<int>{0, 1, 2, 3, 4, 5}));
}

void TestDeviceDiscovery::windowsSearchStopsAtARefusedClass()
{
    QList<int> asked;
    const auto lister = [&](int classIndex) -> std::optional<std::vector<DeviceRecord>> {
        asked.append(classIndex);
        if (classIndex == 1)
            return std::nullopt;
        return std::vector<DeviceRecord>{tarquelOn(QStringLiteral("COM%1").arg(classIndex + 1))};
    };
    QCOMPARE(findWindowsDevicePorts(lister), QStringList{"COM1"});
    QCOMPARE(asked, (QList<int>{0, 1}));
}

void TestDeviceDiscovery::windowsRecordsThatDoNotQualify()
{
    DeviceRecord noKey = tarquelOn("COM5");
    noKey.hardwareKeyValues.clear();

    DeviceRecord unreadableIds = tarquelOn("COM5");
    unreadableIds.hardwareIds = RegistryProperty();

    DeviceRecord unreadableName = tarquelOn("COM5");
    unreadableName.friendlyName = RegistryProperty();

    // A hardware ID kept as a single string still counts as a one-entry list.
    DeviceRecord singleId = tarquelOn("COM6");
    singleId.hardwareIds = stringProperty("USB\\VID_04D8&PID_000A");

    // A number is no list of hardware IDs.
    DeviceRecord numericIds = tarquelOn("COM5");
    numericIds.hardwareIds = rawProperty(WindowsDevices::RegDword, QByteArray("\1\0\0\0", 4));

    const std::vector<DeviceRecord> records{noKey, unreadableIds, unreadableName, singleId,
                                            numericIds};
    const auto lister = [&](int classIndex) -> std::optional<std::vector<DeviceRecord>> {
        if (classIndex == 0)
            return records;
        return std::vector<DeviceRecord>{};
    };
    QCOMPARE(findWindowsDevicePorts(lister), QStringList{"COM6"});
}

QTEST_MAIN(TestDeviceDiscovery)
#include "tst_devicediscovery.moc"
