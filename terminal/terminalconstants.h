#pragma once

#include <QtGlobal>

// The terminal screen's limits and its look before the stored one is handed over.
namespace TerminalConstants {

// The font the view starts with and the one a store without a font gives.
constexpr char defaultFontFamily[] = "Courier New";
constexpr int defaultPointSize = 10;
// The colours a store without colours gives, as QRgb values (0xRRGGBB; the type is spelled out
// so that the byte rules, which need this header's limits, need no GUI header); the text's is
// also the view's first.
constexpr quint32 defaultFontColor = 0xffffff;
constexpr quint32 defaultBackColor = 0x438865;
// The view's background before the stored one arrives, which is not the stored default.
constexpr quint32 initialBackColor = 0x2b5841;
// The screen keeps only its newest this many lines.
constexpr int maximumLines = 400;
// A line keeps at most its newest this many characters, the way the document keeps only its
// newest lines: more than a maximised window shows of one line, yet a line that never ends
// costs a bounded time to lay out on every batch.
constexpr int maximumLineLength = 8192;
// The hex view copies a selection of at most this many bytes as text; a larger one is refused
// with a message. Making the hex text and handing it to the clipboard (Qt 5.15, offscreen and
// under Xvfb, 2 cores) took, with the machine quiet, 9-12 ms and 9 MB more memory at its peak
// for 1 MiB, 18-19 ms and 19 MB for 2 MiB, 36-53 ms and 39 MB for 4 MiB, 73-101 ms and 79 MB for
// 8 MiB, 150-220 ms and 159 MB for 16 MiB; with other builds running, 39-77 ms for 2 MiB and
// 63-108 ms for 4 MiB. 2 MiB stays under the 100 ms a user notices even then, and pastes as
// 6 MB of text.
constexpr qint64 maximumHexCopyBytes = 2 * 1024 * 1024;

// The hex view keeps every byte of a session: the newest this many in memory, older ones in a
// cache file of its own (see HexBuffer). 2,000 MB of lines received with the hex view shown ran
// at the same rate with 16 MiB as with 64 MiB (69 MB/s, 0.008 CPU-s/MB) while the process held
// 59-60 MB instead of 110-114 MB: the newest rows are drawn from memory either way, older ones
// come back from the page cache.
constexpr qint64 hexMemoryBytes = 16 * 1024 * 1024;
// The cache file holds at most this many, and leaves at least hexKeepFreeBytes free on its disk;
// past that the oldest rows go.
constexpr qint64 hexFileBytes = qint64(16) * 1024 * 1024 * 1024;
constexpr qint64 hexKeepFreeBytes = qint64(2) * 1024 * 1024 * 1024;
// Where no cache file can be made the view keeps this many in memory: below the largest byte
// array the toolkit allows, headroom included.
constexpr qint64 hexMemoryAloneBytes = qint64(0x70000000);

} // namespace TerminalConstants
