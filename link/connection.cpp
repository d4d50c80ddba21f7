// Connection supervision: once a second the main window looks for the device, opens a serial
// channel on it when it appears and tears the channel down when it goes.

#include "app/logging.h"
#include "app/vantorterm.h"
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
    const QStringList ports = m_portFinder ? m_portFinder() : findDevicePorts();
    deviceFound = !ports.isEmpty();

    if (serialPort) {
        if (ports.contains(serialPort->portName(), Qt::CaseSensitive))
            return;
        // The open port is gone, even if other devices are listed: those get their turn at the
        // next tick, after this one has disconnected.
        deviceFound = false;
    }

    bool openFailed = false;
    if (deviceFound != deviceFoundBefore && deviceFound) {
        if (openDevicePort(ports)) {
            const QString name = serialPort->portName();
            showStatus(QStringLiteral("the Tarquel Device was found. [") + name
                       + QStringLiteral("]"));
            qCDebug(lcLink).nospace().noquote() << "the Tarquel Device was found. [" << name << "]";
        } else {
            qCDebug(lcLink) << "exit";
            // Pretend the device was there and went, so that the not-found branch below runs in
            // this same tick; the next tick tries again.
            deviceFound = false;
            deviceFoundBefore = true;
            openFailed = true;
        }
    }

    if (deviceFound != deviceFoundBefore && !deviceFound) {
        QString message = tr("the Tarquel Device was not found.");
        QString logged = QStringLiteral("the Tarquel Device was not found.");
        // A device that is plugged in but cannot be opened (no permission, held by another
        // program) must not read as absent: say which port failed and why.
        if (openFailed) {
            const QString cause = QStringLiteral(" (") + m_openFailure + QStringLiteral(")");
            message += cause;
            logged += cause;
        }
        showStatus(message);
        qCDebug(lcLink).noquote() << logged;
        disconnectDevice();
    }

    deviceFoundBefore = deviceFound;
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
    connect(serialPort, &SerialPort::portLost, this, &VantorTerm::onPortLost);

    if (serialPort->openPort(name)) {
        view->setEnabled(true);
        hexaEdit->setEnabled(true);
        view->setFocus(Qt::OtherFocusReason);
        view->clear();
        hexaEdit->setData(QByteArray());
        view->show();
        m_ui->hexaGroup->setVisible(isHexamode);
        hexaEdit->show();
        m_openFailure.clear();
        m_sender->setChannel(serialPort);
        return true;
    }

    // The channel knows why; ask it before it goes.
    m_openFailure = name + QStringLiteral(": ") + serialPort->errorString();
    serialPort->closePort();
    delete serialPort;
    serialPort = nullptr;
    return false;
}

void VantorTerm::onPortLost(const QString &reason)
{
    // This runs inside the serial library's own error report, which still uses the port after
    // we return: the channel goes to the event loop for destruction instead of being deleted
    // here, and is unhooked so that it can tell us nothing more.
    QString port;
    bool sendCut = false;
    if (serialPort) {
        sendCut = stopSendingForGood();
        port = serialPort->portName();
        serialPort->disconnect(this);
        serialPort->deleteLater();
        serialPort = nullptr;
    }
    // The user sees the same message as for an unplugged device; the log keeps the cause.
    showStatus(tr("the Tarquel Device was not found."));
    qCDebug(lcLink).nospace().noquote()
        << "the Tarquel Device was not found. (" << port << ": " << reason << ")";
    disconnectDevice();
    if (sendCut)
        reportWriteFailure();
    // As if the last tick had not seen the device: the next tick opens it again if it is still
    // listed, which is how a device that was reset comes back.
    deviceFound = false;
    deviceFoundBefore = false;
}

void VantorTerm::disconnectDevice()
{
    if (serialPort) {
        if (stopSendingForGood())
            reportWriteFailure();
        serialPort->closePort();
        // Bytes not yet taken from the queue go with it.
        delete serialPort;
        serialPort = nullptr;
    }
    view->clear();
    hexaEdit->setData(QByteArray());
    view->setDisabled(true);
    hexaEdit->setDisabled(true);
    view->hide();
    hexaEdit->hide();
}

// Bytes of a paste or function key that the channel never took are lost with it, as they are
// when a write fails; true when some were, so that the caller says so.
bool VantorTerm::stopSendingForGood()
{
    const bool dropped = m_sender->stop() > 0;
    m_sender->setChannel(nullptr);
    return dropped;
}
