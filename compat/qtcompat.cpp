#include "qtcompat.h"

#include <QFontDatabase>
#include <QGuiApplication>
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

// Qt 6 reads the escapes and raw UTF-8 alike, and writes UTF-8 with no other choice.
void prepareSettingsForReading(QSettings &)
{}

void prepareSettingsForWriting(QSettings &)
{}

// Qt 6 always scales, by the screen's own factor and with pixmaps at the screen's density.
void enableHighDpiScaling()
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

// Without a codec Qt 5 reads raw bytes as Latin-1; told UTF-8, it still decodes the escapes.
void prepareSettingsForReading(QSettings &settings)
{
    settings.setIniCodec("UTF-8");
}

// Without a codec Qt 5 writes the escapes, as every earlier build did; told UTF-8 it would write
// raw UTF-8, which those builds misread. But a write also rewrites every entry already in the
// store as this object read it, and without a codec it reads what the Qt 6 build wrote as
// Latin-1: the garbled text would be kept for good, escaped. So a second object, told UTF-8,
// reads what the store holds, and this one is given it again in place of its own reading.
void prepareSettingsForWriting(QSettings &settings)
{
    QSettings reader(settings.fileName(), settings.format());
    prepareSettingsForReading(reader);
    QVariantMap stored;
    for (const QString &key : reader.allKeys())
        stored.insert(key, reader.value(key));
    settings.clear();
    for (auto entry = stored.cbegin(); entry != stored.cend(); ++entry)
        settings.setValue(entry.key(), entry.value());
}

// Unscaled, Qt 5 draws text at the desktop's font resolution (Xft.dpi) but the window, its
// margins and its images in device pixels: at 200% the text is twice as large in a window of the
// 100% size, and wraps. Scaled, all of it grows together, and icons take their "@2x" pictures.
// The factor is passed through unrounded, as Qt 6 does: rounded, a 150% desk would get a window
// twice as large (800 x 600 becomes 1600 x 1200, taller than a 1080-line screen) around text at
// 150%, and a 125% desk the unscaled window around text at 125%. QT_SCALE_FACTOR_ROUNDING_POLICY
// still overrides this, and QT_ENABLE_HIGHDPI_SCALING=0 turns the scaling off.
void enableHighDpiScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

} // namespace QtCompat

#endif
