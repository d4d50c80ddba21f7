#pragma once

#include <QtGlobal>

// The device link's fixed values: its line settings, its tick, and the texts it logs for the
// connection, which the window shows in its status bar too.
namespace LinkConstants {

// How often the link looks for the device.
constexpr int connectionTickMs = 1000;
// The device's line as classic indices: 115200 bits per second, 8 data bits, no parity, one stop
// bit, no flow control.
constexpr int baudRateIndex = 12;
constexpr int dataBitsIndex = 3;
constexpr int parityIndex = 0;
constexpr int stopBitsIndex = 0;
constexpr int flowControlIndex = 0;

constexpr char deviceFoundText[] = "the Tarquel Device was found. [%1]"; // %1: the port
constexpr char deviceNotFoundText[]
    = QT_TRANSLATE_NOOP("VantorTerm", "the Tarquel Device was not found.");

} // namespace LinkConstants
