#include "connectedwindow.h"

#include "link/linkconstants.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QTimer>

ConnectedWindow::ConnectedWindow(const QString &port)
{
    if (!port.isEmpty())
        ports.append(port);
    window.setPortFinder([this] { return ports; });
}

bool ConnectedWindow::connectDevice()
{
    window.resize(800, 600);
    window.show();
    tick();
    return view()->isEnabled() && hexView()->isEnabled();
}

void ConnectedWindow::tick()
{
    QMetaObject::invokeMethod(&window, "checkConnection");
}

void ConnectedWindow::stopTicks()
{
    for (QTimer *timer : window.findChildren<QTimer *>()) {
        if (timer->interval() == LinkConstants::connectionTickMs)
            timer->stop();
    }
}

OstraView *ConnectedWindow::view() const
{
    return window.findChild<OstraView *>();
}

HexView *ConnectedWindow::hexView() const
{
    return window.findChild<HexView *>();
}
