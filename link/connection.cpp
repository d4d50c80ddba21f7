// STUB: to be implemented by the device-link work.
#include "app/vantorterm.h"
#include "link/serialport.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

void VantorTerm::setPortFinder(PortFinder finder) { m_portFinder = std::move(finder); }
void VantorTerm::checkConnection() {}
bool VantorTerm::openDevicePort(const QStringList &) { return false; }
void VantorTerm::onPortLost(const QString &) {}
void VantorTerm::disconnectDevice()
{
    delete serialPort;
    serialPort = nullptr;
    view->clear();
    hexaEdit->setData(QByteArray());
    view->setDisabled(true);
    hexaEdit->setDisabled(true);
    view->hide();
    hexaEdit->hide();
}
