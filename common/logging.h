#pragma once

#include <QLoggingCategory>

// The program's debug output, one category per subsystem, all on by default so that standard
// error carries every line; a user silences one with Qt's own rules, for example
// QT_LOGGING_RULES="tarquel.receive.debug=false".

// Opening, closing, finding and losing the device.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
// One line per received batch.
Q_DECLARE_LOGGING_CATEGORY(lcReceive)
// One line per write to the device, and one per function key.
Q_DECLARE_LOGGING_CATEGORY(lcTransmit)
// The screens: where the hex view keeps the bytes it holds.
Q_DECLARE_LOGGING_CATEGORY(lcTerminal)
// Everything else.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
