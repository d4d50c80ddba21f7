#include "stylesheet.h"

#include "compat/qtcompat.h"

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
    sheet += quotedFamily(font.family()) + QLatin1Char(';');
    sheet += QStringLiteral("color:") + rgbText(fontColor) + QLatin1Char(';');
    sheet += QStringLiteral("background-color:") + rgbText(backColor) + QStringLiteral("; }");
    return sheet;
}

QFont withFixedPitchFallback(QFont font)
{
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
