// The main window's receive path: every batch the device sends goes to both views.

#include "app/logging.h"
#include "app/vantorterm.h"
#include "link/serialport.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QDebug>
#include <QScrollBar>

void VantorTerm::readComm()
{
    if (!serialPort)
        return;
    std::deque<char> &queue = serialPort->receivedBytes;
    QByteArray batch;
    batch.reserve(int(queue.size()));
    for (char byte : queue)
        batch.append(byte);
    queue.clear();

    qCDebug(lcReceive) << "VantorTerm::readComm() : " << batch;
    view->displayBytes(batch);
    // Appending costs time in proportion to the batch, not to all that the view holds.
    hexaEdit->appendData(batch);
    hexaEdit->verticalScrollBar()->setValue(hexaEdit->verticalScrollBar()->maximum());
}

void VantorTerm::clearScreen()
{
    view->clear();
    hexaEdit->setData(QByteArray());
}
