#include "devicelink.h"

#include "common/logging.h"
#include "link/linkconstants.h"
#include "link/pacedsender.h"
#include "link/platform.h"
#include "link/serialport.h"

#include <QDateTime>
#include <QDebug>
#include <QIODevice>
#include <QTimer>

using namespace LinkConstants;

DeviceLink::DeviceLink(QObject *parent)
    : QObject(parent)
    , m_connectionTimer(new QTimer(this))
    , m_sender(new PacedSender(this))
{
    connect(m_connectionTimer, &QTimer::timeout, this, &DeviceLink::checkConnection);
    connect(m_sender, &PacedSender::progress, this, &DeviceLink::sendProgress);
    connect(m_sender, &PacedSender::finished, this, &DeviceLink::sendFinished);
    connect(m_sender, &PacedSender::writeFailed, this, &DeviceLink::writeFailed);
    connect(m_sender, &PacedSender::readFailed, this, &DeviceLink::readFailed);
}

DeviceLink::~DeviceLink()
{
    // The channel has no parent; normally stop() has released it already.
    m_sender->setChannel(nullptr);
    delete m_channel;
}

void DeviceLink::setPortFinder(PortFinder finder)
{
    m_portFinder = std::move(finder);
}

void DeviceLink::start()
{
    m_connectionTimer->start(connectionTickMs);
}

void DeviceLink::stop()
{
    m_connectionTimer->stop();
    disconnectDevice();
}

void DeviceLink::checkConnection()
{
    apply(ConnectionEvent::Tick, m_portFinder ? m_portFinder() : findDevicePorts());
}

void DeviceLink::disconnectDevice()
{
    releaseChannel(ChannelEnd::Now, tr("the terminal closed the port"));
    m_deviceFoundBefore = DeviceState::Absent;
}

bool DeviceLink::isConnected() const
{
    return m_channel;
}

QString DeviceLink::portName() const
{
    return m_channel ? m_channel->portName() : QString();
}

void DeviceLink::sendTyped(const QByteArray &bytes)
{
    m_sender->sendTyped(bytes);
}

void DeviceLink::sendPaced(const QByteArray &bytes, const Pace &pace)
{
    m_sender->sendPaced(bytes, pace);
}

void DeviceLink::sendFile(const std::shared_ptr<QIODevice> &source, qint64 size,
                          const QString &name, const Pace &pace)
{
    m_sender->sendFile(source, size, name, pace);
}

void DeviceLink::stopSending()
{
    m_sender->stop();
}

void DeviceLink::readComm()
{
    if (!m_channel)
        return;
    const QByteArray batch = m_channel->takeReceived();
    // The line keeps the text it has always had, so that filters written for it still match.
    qCDebug(lcReceive) << "VantorTerm::readComm() : " << batch;
    emit bytesReceived(batch, QDateTime::currentMSecsSinceEpoch());
}

void DeviceLink::apply(ConnectionEvent event, const QStringList &ports, const QString &lostReason)
{
    const QString openPort = portName();
    const ConnectionStep step = decideConnection(event, ports, openPort, m_deviceFoundBefore);
    m_deviceFoundBefore = step.deviceFoundBefore;
    const QString notFound = QLatin1String(deviceNotFoundText);
    switch (step.verdict) {
    case ConnectionVerdict::Nothing:
        break;
    case ConnectionVerdict::Open:
        if (openDevicePort(ports)) {
            qCDebug(lcLink).noquote() << QLatin1String(deviceFoundText).arg(portName());
            emit connected(portName());
        } else {
            qCDebug(lcLink) << "exit";
            apply(ConnectionEvent::OpenFailed);
        }
        break;
    case ConnectionVerdict::ReportNotFound: {
        // A device that is plugged in but cannot be opened (no permission, held by another
        // program) must not read as absent: the failure says which port and why.
        qCDebug(lcLink).noquote()
            << notFound + QStringLiteral(" (%1: %2)").arg(m_failedPort, m_openFailure);
        emit openFailed(m_failedPort, m_openFailure);
        break;
    }
    case ConnectionVerdict::Disconnect: {
        // A lost port reads to the user as an unplugged device; the log keeps the cause.
        const bool lost = event == ConnectionEvent::PortLost;
        qCDebug(lcLink).noquote()
            << (lost ? notFound + QStringLiteral(" (%1: %2)").arg(openPort, lostReason) : notFound);
        if (lost)
            releaseChannel(ChannelEnd::FromEventLoop, lostReason);
        else
            releaseChannel(ChannelEnd::Now, tr("the device went away"));
        emit deviceGone();
        break;
    }
    }
}

bool DeviceLink::openDevicePort(const QStringList &ports)
{
    const QString name = ports.first();
    m_channel = new SerialPort;
    m_channel->setBaudRateIndex(baudRateIndex);
    m_channel->setFlowControlIndex(flowControlIndex);
    m_channel->setParityIndex(parityIndex);
    // Data bits before stop bits: the stop-bits rule checks against the data bits in place.
    m_channel->setDataBitsIndex(dataBitsIndex);
    m_channel->setStopBitsIndex(stopBitsIndex);
    connect(m_channel, &SerialPort::readComm, this, &DeviceLink::readComm);
    connect(m_channel, &SerialPort::portLost, this,
            [this](const QString &reason) { apply(ConnectionEvent::PortLost, {}, reason); });

    if (!m_channel->openPort(name)) {
        // The channel knows why; ask it before it goes.
        m_failedPort = name;
        m_openFailure = m_channel->errorString();
        delete m_channel;
        m_channel = nullptr;
        return false;
    }
    m_sender->setChannel(m_channel);
    return true;
}

// The one way an open channel goes. What was still to be sent is dropped with it; its destructor
// closes the port and drops what was received but not yet handed over. The channel's loss is
// reported from inside the serial library, which still uses the port after we return: then the
// event loop destroys it.
void DeviceLink::releaseChannel(ChannelEnd end, const QString &reason)
{
    if (!m_channel)
        return;
    m_sender->setChannel(nullptr);
    m_channel->disconnect(this);
    const QString port = m_channel->portName();
    if (end == ChannelEnd::FromEventLoop)
        m_channel->deleteLater();
    else
        delete m_channel;
    m_channel = nullptr;
    emit portClosed(port, reason);
}
