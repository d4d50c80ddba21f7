#pragma once

#include <QColor>

// The terminal screen's limits and its look before the stored one is handed over.
namespace TerminalConstants {

// The font the view starts with and the one a store without a font gives.
constexpr char defaultFontFamily[] = "Courier New";
constexpr int defaultPointSize = 10;
// The colours a store without colours gives; the text's is also the view's first.
constexpr QRgb defaultFontColor = 0xffffff;
constexpr QRgb defaultBackColor = 0x438865;
// The view's background before the stored one arrives, which is not the stored default.
constexpr QRgb initialBackColor = 0x2b5841;
// The document keeps only its newest this many lines.
constexpr int maximumLines = 400;
// A line keeps at most its newest this many characters, the way the document keeps only its
// newest lines: more than a maximised window shows of one line, yet a line that never ends
// costs a bounded time to lay out on every batch.
constexpr int maximumLineLength = 8192;

} // namespace TerminalConstants
