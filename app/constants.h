#pragma once

#include <QPoint>
#include <QSize>

// The main window's fixed values in one place: the keys and defaults of the settings store, the
// device log's limits and the status texts of its own.
namespace Constants {

// The store: organisation name, then one key per stored value.
constexpr char organisation[] = "TarquelTerm";
constexpr char positionKey[] = "pos";
constexpr char sizeKey[] = "size";
constexpr char toolbarKey[] = "viewtoolbar";
constexpr char fontFamilyKey[] = "fontfamily";
constexpr char fontSizeKey[] = "fontsize";
constexpr char fontWeightKey[] = "fontweight";
constexpr char fontStyleKey[] = "fontstyle";
constexpr char fontColorKey[] = "fontcolor";
constexpr char backColorKey[] = "backcolor";
constexpr char showFunctionDialogKey[] = "ShowFunctionDlg";
constexpr char delayKey[] = "delay";
constexpr char hexModeKey[] = "isHexamode";
constexpr char functionKeyKey[] = "F%1"; // F1 ... F12
constexpr char timestampsKey[] = "timestamps";
// The log file: whether logging was on at close, and the file it went to (kept when it is off,
// for the folder the next file is asked in).
constexpr char loggingKey[] = "logging";
constexpr char logFileKey[] = "logfile";
// The pace of what goes out one character at a time, beside the write delay: the wait after each
// line end, and whether the write delay is waited out whole.
constexpr char lineDelayKey[] = "linedelay";
constexpr char paceWholeKey[] = "pacewhole";
// The command line: whether it shows, its line end and mode (by the names below) and the lines
// sent from it, oldest first.
constexpr char commandLineKey[] = "commandline";
constexpr char lineEndKey[] = "lineend";
constexpr char commandModeKey[] = "commandmode";
constexpr char commandHistoryKey[] = "commandhistory";
constexpr char lineEndNames[][5] = {"none", "cr", "lf", "crlf"}; // in CommandLine::LineEnd order
constexpr char commandModeNames[][5] = {"text", "hex"};          // in CommandLine::Mode order

// The device log. What arrives is written out at the latest this long after it came, or at once
// when this much waits, so that a fast stream costs few writes.
constexpr int logFlushIntervalMs = 1000;
constexpr int logFlushSize = 1 << 20;
// The most bytes that may wait for a disk slower than the device before logging stops, so that
// memory stays bounded.
constexpr qint64 logWaitingLimit = qint64(64) << 20;
// How long closing the log waits for a disk that does not take what it was given (a hung
// network share, a stalled USB stick) before the terminal closes anyway.
constexpr int logCloseTimeoutMs = 5000;

// What a first run, or a store without the value, gives.
constexpr QPoint defaultPosition(25, 25);
constexpr QSize defaultSize(800, 600);
constexpr int defaultFontWeight = 50; // on Qt 5's 0-99 scale
// Fixed texts of the status bar; the connection's own are the link's.
constexpr char loadingStatus[] = QT_TRANSLATE_NOOP("VantorTerm", "getting previews settings...");
constexpr char storingStatus[] = QT_TRANSLATE_NOOP("VantorTerm", "store current settings...");
constexpr char writeFailedStatus[]
    = QT_TRANSLATE_NOOP("VantorTerm", "Can't write through the serial port.");

} // namespace Constants
