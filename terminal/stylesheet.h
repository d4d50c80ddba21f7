#pragma once

#include <QColor>
#include <QFont>
#include <QString>

// The text view's whole look as one style-sheet text, always built from all three values so that
// changing one of them never loses the others.
QString viewStyleSheet(const QFont &font, const QColor &fontColor, const QColor &backColor);
