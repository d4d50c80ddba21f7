// The Linux layer of device discovery against sysfs fixture trees built the way the kernel lays
// them out: class/tty entries that link into devices/, and a device link from each tty to the
// hardware it belongs to.

#include "link/sysfsdevices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QString hostController = QStringLiteral("devices/pci0000:00/0000:00:14.0");

// A throw-away sysfs tree.
class SysfsTree
{
public:
    SysfsTree()
    {
        // Every USB tree hangs off a root hub, which has IDs of its own.
        addUsbDevice(QStringLiteral("usb1"), {{"idVendor", "1d6b"}, {"idProduct", "0002"}});
        QDir(m_dir.path()).mkpath(QStringLiteral("class/tty"));
    }

    QString root() const { return m_dir.path(); }

    // A USB device folder below the host controller, with its attribute files.
    void addUsbDevice(const QString &busPath, const QMap<QString, QString> &attributes)
    {
        const QString folder = hostController + QLatin1Char('/') + busPath;
        QDir(m_dir.path()).mkpath(folder);
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
            write(folder + QLatin1Char('/') + it.key(), it.value() + QLatin1Char('\n'));
    }

    // A tty as the kernel files it: its own folder inside the hardware it belongs to (hardware
    // given relative to devices/, empty for a tty without hardware), a device link back to that
    // hardware, and an entry in class/tty that links to the folder.
    void addTty(const QString &name, const QString &hardware)
    {
        const QString folder = hardware.isEmpty() ? QStringLiteral("devices/virtual/tty/") + name
                                                  : QStringLiteral("devices/") + hardware
                                                        + QStringLiteral("/tty/") + name;
        QDir(m_dir.path()).mkpath(folder);
        if (!hardware.isEmpty())
            link(QStringLiteral("../../../") + hardware.section(QLatin1Char('/'), -1),
                 folder + QStringLiteral("/device"));
        link(QStringLiteral("../../") + folder, QStringLiteral("class/tty/") + name);
    }

    // A tty whose class entry is a plain folder holding a device link into devices/.
    void addPlainTty(const QString &name, const QString &hardware)
    {
        const QString folder = QStringLiteral("class/tty/") + name;
        QDir(m_dir.path()).mkpath(folder);
        link(QStringLiteral("../../../devices/") + hardware, folder + QStringLiteral("/device"));
    }

    // The usual Tarquel device: a USB device with one ACM interface carrying the tty.
    void addAcm(const QString &name, const QString &busPath,
                const QMap<QString, QString> &attributes)
    {
        addUsbDevice(busPath, attributes);
        const QString interface = busPath + QLatin1Char('/') + busPath.section(QLatin1Char('/'), -1)
                                  + QStringLiteral(":1.0");
        QDir(m_dir.path()).mkpath(hostController + QLatin1Char('/') + interface);
        addTty(name, hostController.mid(int(qstrlen("devices/"))) + QLatin1Char('/') + interface);
    }

private:
    void write(const QString &path, const QString &text)
    {
        QFile file(m_dir.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    void link(const QString &target, const QString &path)
    {
        QVERIFY2(QFile::link(target, m_dir.filePath(path)), qPrintable(path));
    }

    QTemporaryDir m_dir;
};

QMap<QString, QString> tarquelIds(const QString &product = QStringLiteral("000a"))
{
    return {{"idVendor", "04d8"},
            {"idProduct", product},
            {"bcdDevice", "0100"},
            {"product", "Tarquel Terminal"}};
}

} // namespace

// Tests of SysfsDevices, the sysfs reader behind discovery on Linux.
class TestSysfsDevices : public QObject
{
    Q_OBJECT

private slots:
    void matchesByUsbIds_data();
    void matchesByUsbIds();
    void attributesOfADevice();
    void deviceWithoutProductName();
    void classEntryAsPlainFolder();
    void skipsTtysWithoutUsb();
    void findsTheUsbDeviceAboveAUsbSerialPort();
    void numericNameOrder();
    void unusableRoot_data();
    void unusableRoot();
};

void TestSysfsDevices::matchesByUsbIds_data()
{
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QStringList>("ports");

    const QStringList found{QStringLiteral("ttyACM0")};
    QTest::newRow("04d8:000a") << "04d8"
                               << "000a" << found;
    QTest::newRow("04d8:00df") << "04d8"
                               << "00df" << found;
    QTest::newRow("04d8:00de") << "04d8"
                               << "00de" << QStringList();
    QTest::newRow("upper-case IDs") << "04D8"
                                    << "00DF" << found;
    QTest::newRow("other vendor") << "1234"
                                  << "000a" << QStringList();
    // Without idProduct the walk goes on up to the root hub, which is no Tarquel device.
    QTest::newRow("no idProduct") << "04d8" << QString() << QStringList();
}

void TestSysfsDevices::matchesByUsbIds()
{
    QFETCH(QString, vendor);
    QFETCH(QString, product);

    SysfsTree tree;
    QMap<QString, QString> attributes{{"idVendor", vendor}, {"bcdDevice", "0100"}};
    if (!product.isNull())
        attributes.insert(QStringLiteral("idProduct"), product);
    tree.addAcm(QStringLiteral("ttyACM0"), QStringLiteral("usb1/1-2"), attributes);

    QTEST(SysfsDevices(tree.root()).tarquelPorts(), "ports");
}

void TestSysfsDevices::attributesOfADevice()
{
    SysfsTree tree;
    tree.addAcm(QStringLiteral("ttyACM0"), QStringLiteral("usb1/1-2"), tarquelIds());

    const QList<DeviceAttributes> devices = SysfsDevices(tree.root()).devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].registryPortName, QStringLiteral("ttyACM0"));
    QCOMPARE(devices[0].hardwareIds,
             (QStringList{"USB\\VID_04d8&PID_000a&REV_0100", "USB\\VID_04d8&PID_000a"}));
    QCOMPARE(devices[0].friendlyName, QStringLiteral("Tarquel Terminal (ttyACM0)"));
}

void TestSysfsDevices::deviceWithoutProductName()
{
    SysfsTree tree;
    tree.addAcm(QStringLiteral("ttyACM0"), QStringLiteral("usb1/1-2"),
                {{"idVendor", "04d8"}, {"idProduct", "00df"}});

    const QList<DeviceAttributes> devices = SysfsDevices(tree.root()).devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].friendlyName, QStringLiteral("USB Serial Device (ttyACM0)"));
    QCOMPARE(devices[0].hardwareIds, QStringList{"USB\\VID_04d8&PID_00df"});
    QCOMPARE(SysfsDevices(tree.root()).tarquelPorts(), QStringList{"ttyACM0"});
}

void TestSysfsDevices::classEntryAsPlainFolder()
{
    SysfsTree tree;
    tree.addUsbDevice(QStringLiteral("usb1/1-4"), tarquelIds(QStringLiteral("00df")));
    QVERIFY(QDir(tree.root()).mkpath(hostController + QStringLiteral("/usb1/1-4/1-4:1.0")));
    tree.addPlainTty(QStringLiteral("ttyACM3"),
                     QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0"));
    QCOMPARE(SysfsDevices(tree.root()).tarquelPorts(), QStringList{"ttyACM3"});
}

void TestSysfsDevices::skipsTtysWithoutUsb()
{
    SysfsTree tree;
    // A serial port on the mainboard, a console and the pty multiplexer next to the device.
    QVERIFY(QDir(tree.root()).mkpath(QStringLiteral("devices/pnp0/00:01")));
    tree.addTty(QStringLiteral("ttyS0"), QStringLiteral("pnp0/00:01"));
    tree.addTty(QStringLiteral("tty0"), QString());
    tree.addTty(QStringLiteral("ptmx"), QString());
    tree.addAcm(QStringLiteral("ttyACM0"), QStringLiteral("usb1/1-2"), tarquelIds());

    const QList<DeviceAttributes> devices = SysfsDevices(tree.root()).devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].registryPortName, QStringLiteral("ttyACM0"));
}

void TestSysfsDevices::findsTheUsbDeviceAboveAUsbSerialPort()
{
    // USB-serial converters put their tty below a port folder inside the interface, two levels
    // under the USB device.
    SysfsTree tree;
    tree.addUsbDevice(QStringLiteral("usb1/1-3"), tarquelIds());
    const QString port = QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB0");
    QVERIFY(QDir(tree.root()).mkpath(QStringLiteral("devices/") + port));
    tree.addTty(QStringLiteral("ttyUSB0"), port);

    QCOMPARE(SysfsDevices(tree.root()).tarquelPorts(), QStringList{"ttyUSB0"});
}

void TestSysfsDevices::numericNameOrder()
{
    SysfsTree tree;
    // Made in an order that neither plain text order nor creation order would give right.
    tree.addAcm(QStringLiteral("ttyACM10"), QStringLiteral("usb1/1-5"), tarquelIds());
    tree.addAcm(QStringLiteral("ttyUSB0"), QStringLiteral("usb1/1-6"), tarquelIds());
    tree.addAcm(QStringLiteral("ttyACM2"), QStringLiteral("usb1/1-4"), tarquelIds("00df"));
    tree.addAcm(QStringLiteral("ttyACM1"), QStringLiteral("usb1/1-7"), tarquelIds("00de"));

    QCOMPARE(SysfsDevices(tree.root()).tarquelPorts(),
             (QStringList{"ttyACM2", "ttyACM10", "ttyUSB0"}));
}

void TestSysfsDevices::unusableRoot_data()
{
    QTest::addColumn<QString>("problem");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a file") << "file";
    QTest::newRow("no class folder") << "empty";
    QTest::newRow("unreadable") << "unreadable";
}

void TestSysfsDevices::unusableRoot()
{
    QFETCH(QString, problem);

    SysfsTree tree;
    tree.addAcm(QStringLiteral("ttyACM0"), QStringLiteral("usb1/1-2"), tarquelIds());
    QCOMPARE(SysfsDevices(tree.root()).tarquelPorts(), QStringList{"ttyACM0"});

    QString root = tree.root();
    QTemporaryDir other;
    if (problem == "missing") {
        root += QStringLiteral("/nothing-here");
    } else if (problem == "file") {
        root = other.filePath(QStringLiteral("sys"));
        QFile file(root);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (problem == "empty") {
        root = other.path();
    } else {
        if (geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(root, QFileDevice::Permissions()));
    }
    const QStringList ports = SysfsDevices(root).tarquelPorts();
    // Readable again, so that the tree can be removed.
    QFile::setPermissions(tree.root(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(ports, QStringList());
}

QTEST_MAIN(TestSysfsDevices)
#include "tst_sysfsdevices.moc"
