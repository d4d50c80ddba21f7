#pragma once

#include <QColor>
#include <QFont>
#include <QString>

// Point sizes the view draws with: a stored size outside them is drawn at the nearer end, so
// that a hand-edited store can neither hide every character nor shrink them to nothing.
constexpr int minimumViewPointSize = 6;
constexpr int maximumViewPointSize = 144;

// The text view's whole look as one style-sheet text, always built from all three values so that
// changing one of them never loses the others. No family name can break or extend the sheet.
QString viewStyleSheet(const QFont &font, const QColor &fontColor, const QColor &backColor);

// The font with a fixed-pitch fallback: where its family is missing, the terminal still gets a
// monospaced face instead of the system's proportional default.
QFont withFixedPitchFallback(QFont font);
