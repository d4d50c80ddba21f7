#pragma once

#include <QFont>
#include <QStringList>

class QSettings;

// Everything that differs between Qt 5 and Qt 6 is answered here, so that no other file has to
// know which of the two it is built against.
namespace QtCompat {

// Font weights on Qt 5's scale (0 to 99: 50 normal, 75 bold), the scale the settings store
// keeps in both builds. Qt 6 counts 1 to 1000 (400 normal, 700 bold); the two scales are mapped
// through their named weights, so that every stored value reads back as it was written.
int legacyFontWeight(const QFont &font);
void setLegacyFontWeight(QFont &font, int weight);

// The number to write after "font:" in a style sheet so that the toolkit's style-sheet parser
// gives the font exactly this weight back.
int styleSheetFontWeight(const QFont &font);

// The installed font families the font database marks as fixed pitch, in its order.
QStringList fixedPitchFamilies();

// Makes a settings object read and write text beyond ASCII the way the other build does.
void prepareSettings(QSettings &settings);

} // namespace QtCompat
