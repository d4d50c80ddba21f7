#include "stylesheet.h"

namespace {

QString rgbText(const QColor &color)
{
    // An invalid colour is written as black rather than as whatever its storage happens to hold.
    if (!color.isValid())
        return QStringLiteral("rgb(0,0,0)");
    return QStringLiteral("rgb(%1,%2,%3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

} // namespace

QString viewStyleSheet(const QFont &font, const QColor &fontColor, const QColor &backColor)
{
    QString sheet = QStringLiteral("QTextEdit { font:");
    // Only a true italic is named; an oblique face is left to the family's upright default.
    if (font.style() == QFont::StyleItalic)
        sheet += QStringLiteral("italic ");
    // The style-sheet parser reads a number on the CSS scale (400 normal, 700 bold) and divides
    // it by eight into the toolkit's scale; the toolkit's own 50 would come out as 6, so a bold
    // font would never show bold. Written on the CSS scale, every weight reads back exactly.
    sheet += QString::number(font.weight() * 8) + QLatin1Char(' ');
    sheet += QString::number(font.pointSize()) + QStringLiteral("pt ");
    sheet += QLatin1Char('"') + font.family() + QStringLiteral("\";");
    sheet += QStringLiteral("color:") + rgbText(fontColor) + QLatin1Char(';');
    sheet += QStringLiteral("background-color:") + rgbText(backColor) + QStringLiteral("; }");
    return sheet;
}
