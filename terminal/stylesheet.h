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
// The font's family comes first, followed by the other families it names (its fallbacks).
QString viewStyleSheet(const QFont &font, const QColor &fontColor, const QColor &backColor);

// The font with a fixed-pitch fallback: where its family is missing, the views still get a face
// whose characters all advance the same width instead of the system's proportional default.
// Where the face the toolkit picks for it is not of equal advance (fontconfig's stand-in for a
// missing family can be proportional), an installed face that is follows the family in the
// font's families(). The family itself is kept, so the user's choice is what gets stored.
QFont withFixedPitchFallback(QFont font);
