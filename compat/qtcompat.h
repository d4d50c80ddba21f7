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

// Settings text beyond ASCII has two forms in the store: escapes (caf\xe9), which Qt 5 writes by
// default and which earlier builds, and any reader that works the way Qt 5 does by default, read;
// and raw UTF-8, which Qt 6 writes and such readers garble, a Latin-1 character for each byte.
// Both builds read both forms.

// Prepares a settings object that is only read, right after it is made.
void prepareSettingsForReading(QSettings &settings);

// Prepares a settings object that writes, right after it is made and before anything is set: the
// Qt 5 build writes the escapes, also for what the store already holds in either form; the Qt 6
// build can only write UTF-8.
void prepareSettingsForWriting(QSettings &settings);

// Makes the window, its images and its text follow the screen's scale together (Qt 6 always
// does); called before the application object is made.
void enableHighDpiScaling();

} // namespace QtCompat
