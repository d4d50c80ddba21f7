#include "stylesheet.h"

#include "compat/qtcompat.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringList>

#include <algorithm>

namespace {

QString rgbText(const QColor &color)
{
    // An invalid colour is written as black rather than as whatever its storage happens to hold.
    if (!color.isValid())
        return QStringLiteral("rgb(0,0,0)");
    return QStringLiteral("rgb(%1,%2,%3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

// The family as the inside of a double-quoted style-sheet string. A quote is escaped. The
// toolkit's parser reads a backslash followed by hex digits as a character code even when the
// backslash itself is escaped, so backslashes cannot be written safely; they are left out, with
// the control characters (NUL, line breaks), which no font family holds either.
QString quotedFamily(const QString &family)
{
    QString quoted;
    quoted.reserve(family.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar character : family) {
        if (character == QLatin1Char('\\') || character.category() == QChar::Other_Control)
            continue;
        if (character == QLatin1Char('"'))
            quoted += QLatin1Char('\\');
        quoted += character;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

// Whether every printable ASCII character, the hex digits among them, advances the same width
// in the face drawn for font: what keeps the columns of both views straight. A fixed-pitch flag
// is not asked for, since some monospaced faces (Noto Sans Mono) do not carry it.
bool hasEqualAdvances(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(QLatin1Char(' '));
    for (char character = 0x21; character < 0x7f; ++character) {
        if (metrics.horizontalAdvance(QLatin1Char(character)) != width)
            return false;
    }
    return true;
}

QFont withOnlyFamily(QFont font, const QString &family)
{
    font.setFamilies(QStringList());
    font.setFamily(family);
    return font;
}

// An installed face of equal advance in font's size and weight, or an empty name where this
// system has none: the desktop's fixed font first, then the faces the font database marks as
// fixed pitch. Each is measured, as a fixed font or a family can be a fontconfig alias
// ("Monospace") that leads to the same proportional face.
QString equalAdvanceFamily(const QFont &font)
{
    const QFont desktopFixed
        = withOnlyFamily(font, QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    if (hasEqualAdvances(desktopFixed))
        return QFontInfo(desktopFixed).family();
    for (const QString &family : QtCompat::fixedPitchFamilies()) {
        if (hasEqualAdvances(withOnlyFamily(font, family)))
            return family;
    }
    return QString();
}

} // namespace

QString viewStyleSheet(const QFont &font, const QColor &fontColor, const QColor &backColor)
{
    QString sheet = QStringLiteral("QTextEdit { font:");
    // Only a true italic is named; an oblique face is left to the family's upright default.
    if (font.style() == QFont::StyleItalic)
        sheet += QStringLiteral("italic ");
    // Written on the parser's own scale, so that every weight reads back exactly.
    sheet += QString::number(QtCompat::styleSheetFontWeight(font)) + QLatin1Char(' ');
    const int pointSize = std::clamp(font.pointSize(), minimumViewPointSize, maximumViewPointSize);
    sheet += QString::number(pointSize) + QStringLiteral("pt ");
    sheet += quotedFamily(font.family());
    for (const QString &family : font.families()) {
        if (family != font.family())
            sheet += QLatin1Char(',') + quotedFamily(family);
    }
    sheet += QLatin1Char(';');
    sheet += QStringLiteral("color:") + rgbText(fontColor) + QLatin1Char(';');
    sheet += QStringLiteral("background-color:") + rgbText(backColor) + QStringLiteral("; }");
    return sheet;
}

QFont withFixedPitchFallback(QFont font)
{
    // The hint alone leads fontconfig to its monospaced faces, and is all that most systems need;
    // the face it gives is kept wherever it is of equal advance.
    font.setStyleHint(QFont::TypeWriter);
    QFont drawn = font;
    if (drawn.pointSize() > 0)
        drawn.setPointSize(
            std::clamp(drawn.pointSize(), minimumViewPointSize, maximumViewPointSize));
    if (hasEqualAdvances(drawn))
        return font;
    const QString fallback = equalAdvanceFamily(drawn);
    if (!fallback.isEmpty())
        font.setFamilies({font.family(), fallback});
    return font;
}
