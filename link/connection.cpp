// Connection supervision: once a second the main window looks for the device, opens a serial
// channel on it when it appears and tears it down when it goes, as decideConnection() rules.

#include "app/constants.h"
#include "app/logging.h"
#include "app/vantorterm.h"
#include "link/connectionrules.h"
#include "link/pacedsender.h"
#include "link/platform.h"
#include "link/serialport.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"
#include "ui_vantorterm.h"

#include <QDebug>

void VantorTerm::setPortFinder(PortFinder finder)
{
    m_portFinder = std::move(finder);
}

void VantorTerm::checkConnection()
{
    applyConnectionVerdict(ConnectionEvent::Tick,
                           m_portFinder ? m_portFinder() : findDevicePorts());
}

void VantorTerm::applyConnectionVerdict(ConnectionEvent event, const QStringList &ports,
                                        const QString &lostReason)
{
    const QString openPort = serialPort ? serialPort->portName() : QString();
    const ConnectionStep step = decideConnection(event, ports, openPort, deviceFoundBefore);
    deviceFoundBefore = step.deviceFoundBefore;
    switch (step.verdict) {
    case ConnectionVerdict::Nothing:
        break;
    case ConnectionVerdict::Open:
        if (openDevicePort(ports)) {
            const QString found
                = QLatin1String(Constants::deviceFoundStatus).arg(serialPort->portName());
            showStatus(found);
            qCDebug(lcLink).noquote() << found;
        } else {
            qCDebug(lcLink) << "exit";
            applyConnectionVerdict(ConnectionEvent::OpenFailed);
        }
        break;
    case ConnectionVerdict::ReportNotFound:
    case ConnectionVerdict::Disconnect: {
        // A device that is plugged in but cannot be opened (no permission, held by another
        // program) must not read as absent: say which port failed and why. A lost port reads to
        // the user as an unplugged device; the log keeps the cause.
        const bool lost = event == ConnectionEvent::PortLost;
        if (step.verdict == ConnectionVerdict::Disconnect)
            m_openFailure.clear();
        const QString shown = step.verdict == ConnectionVerdict::ReportNotFound
                                  ? QStringLiteral(" (%1)").arg(m_openFailure)
                                  : QString();
        showStatus(tr(Constants::deviceNotFoundStatus) + shown);
        qCDebug(lcLink).noquote()
            << QLatin1String(Constants::deviceNotFoundStatus)
                   + (lost ? QStringLiteral(" (%1: %2)").arg(openPort, lostReason) : shown);
        if (lost)
            releaseChannel(ChannelEnd::FromEventLoop);
        disconnectDevice();
        break;
    }
    }
}

bool VantorTerm::openDevicePort(const QStringList &ports)
{
    const QString name = ports.first();
    serialPort = new SerialPort;
    serialPort->setBaudRateIndex(12);
    serialPort->setFlowControlIndex(0);
    serialPort->setParityIndex(0);
    // Data bits before stop bits: the stop-bits rule checks against the data bits in place.
    serialPort->setDataBitsIndex(3);
    serialPort->setStopBitsIndex(0);
    connect(serialPort, &SerialPort::readComm, this, &VantorTerm::readComm);
    connect(serialPort, &SerialPort::portLost, this, [this](const QString &reason) {
        applyConnectionVerdict(ConnectionEvent::PortLost, {}, reason);
    });

    if (!serialPort->openPort(name)) {
        // The channel knows why; ask it before it goes.
        m_openFailure = name + QStringLiteral(": ") + serialPort->errorString();
        releaseChannel(ChannelEnd::Now);
        return false;
    }
    view->setEnabled(true);
    hexaEdit->setEnabled(true);
    view->setFocus(Qt::OtherFocusReason);
    clearScreen();
    view->show();
    m_ui->hexaGroup->setVisible(isHexamode);
    hexaEdit->show();
    m_openFailure.clear();
    m_sender->setChannel(serialPort);
    return true;
}

void VantorTerm::disconnectDevice()
{
    releaseChannel(ChannelEnd::Now);
    clearScreen();
    view->setDisabled(true);
    hexaEdit->setDisabled(true);
    view->hide();
    hexaEdit->hide();
}

// The one way the channel goes. Bytes of a paste or function key that it never took are lost
// with it, as they are when a write fails, and the user is told; its destructor closes the port
// and drops what was received but not yet read. The channel's loss is reported from inside the
// serial library, which still uses the port after we return: then the event loop destroys it.
void VantorTerm::releaseChannel(ChannelEnd end)
{
    if (!serialPort)
        return;
    const bool sendCut = m_sender->stop() > 0;
    m_sender->setChannel(nullptr);
    serialPort->disconnect(this);
    if (end == ChannelEnd::FromEventLoop)
        serialPort->deleteLater();
    else
        delete serialPort;
    serialPort = nullptr;
    if (sendCut)
        reportWriteFailure();
}
