#pragma once

#include "app/vantorterm.h"

#include <QString>
#include <QStringList>

class HexView;
class OstraView;

// The real main window with discovery replaced by a list the caller controls, so that a test or
// a benchmark connects it to a simulated device through the window's own supervision.
class ConnectedWindow
{
public:
    // Lists port, when given, as the one device present.
    explicit ConnectedWindow(const QString &port = QString());

    // Shows the window and runs one tick; true when the views came up connected.
    bool connectDevice();
    // One supervision tick, at once.
    void tick();
    // Stops the window's own once-a-second tick, so that the caller alone decides when one
    // happens.
    void stopTicks();

    OstraView *view() const;
    HexView *hexView() const;

    VantorTerm window;
    // What discovery reports at each tick.
    QStringList ports;
};
