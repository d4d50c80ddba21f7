#include "qtcompat.h"

#include <QFontDatabase>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <iterator>

#if QT_VERSION_MAJOR >= 6

namespace {

// The named weights of both scales, in order: Thin, ExtraLight, Light, Normal, Medium, DemiBold,
// Bold, ExtraBold, Black, and each scale's top.
struct WeightPair
{
    int legacy;
    int current;
};
constexpr WeightPair namedWeights[] = {{0, 100},  {12, 200}, {25, 300}, {50, 400}, {57, 500},
                                       {63, 600}, {75, 700}, {81, 800}, {87, 900}, {99, 1000}};

// Maps between the scales along straight lines from one named weight to the next. Each step is
// wider on the 1-1000 scale than on the 0-99 one, so a legacy value survives the way there and
// back exactly.
int mapWeight(int weight, int WeightPair::*from, int WeightPair::*to)
{
    const auto first = std::begin(namedWeights);
    const auto last = std::end(namedWeights) - 1;
    if (weight <= (*first).*from)
        return (*first).*to;
    if (weight >= (*last).*from)
        return (*last).*to;
    auto upper = first + 1;
    while ((*upper).*from < weight)
        ++upper;
    const WeightPair &lower = *(upper - 1);
    const double share = double(weight - lower.*from) / ((*upper).*from - lower.*from);
    return int(std::lround(lower.*to + share * ((*upper).*to - lower.*to)));
}

} // namespace

namespace QtCompat {

int legacyFontWeight(const QFont &font)
{
    return mapWeight(font.weight(), &WeightPair::current, &WeightPair::legacy);
}

void setLegacyFontWeight(QFont &font, int weight)
{
    font.setWeight(QFont::Weight(mapWeight(weight, &WeightPair::legacy, &WeightPair::current)));
}

// Qt 6's parser takes a number as the weight itself, on the scale the font uses.
int styleSheetFontWeight(const QFont &font)
{
    return font.weight();
}

// Qt 6 asks the font database through static functions; an instance is deprecated.
QStringList fixedPitchFamilies()
{
    QStringList fixed;
    for (const QString &family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family))
            fixed.append(family);
    }
    return fixed;
}

// Qt 6 reads and writes settings files as UTF-8 and has no other choice.
void prepareSettings(QSettings &)
{}

} // namespace QtCompat

#else

namespace QtCompat {

int legacyFontWeight(const QFont &font)
{
    return font.weight();
}

void setLegacyFontWeight(QFont &font, int weight)
{
    font.setWeight(weight);
}

// Qt 5's parser reads a number on the CSS scale (400 normal, 700 bold) and divides it by eight;
// the font's own 50 would come out as 6, so bold would never show bold.
int styleSheetFontWeight(const QFont &font)
{
    return font.weight() * 8;
}

// Qt 5 asks the font database through an instance.
QStringList fixedPitchFamilies()
{
    const QFontDatabase database;
    QStringList fixed;
    for (const QString &family : database.families()) {
        if (database.isFixedPitch(family))
            fixed.append(family);
    }
    return fixed;
}

// Qt 5 would write characters beyond ASCII as escapes and read raw bytes as Latin-1; Qt 6 writes
// raw UTF-8. Reading and writing UTF-8 here too makes the files the same in both builds, and
// escapes written by earlier builds still read back.
void prepareSettings(QSettings &settings)
{
    settings.setIniCodec("UTF-8");
}

} // namespace QtCompat

#endif
