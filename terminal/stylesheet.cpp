#include "stylesheet.h"

#include "compat/qtcompat.h"

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
    // Written on the parser's own scale, so that every weight reads back exactly.
    sheet += QString::number(QtCompat::styleSheetFontWeight(font)) + QLatin1Char(' ');
    sheet += QString::number(font.pointSize()) + QStringLiteral("pt ");
    sheet += QLatin1Char('"') + font.family() + QStringLiteral("\";");
    sheet += QStringLiteral("color:") + rgbText(fontColor) + QLatin1Char(';');
    sheet += QStringLiteral("background-color:") + rgbText(backColor) + QStringLiteral("; }");
    return sheet;
}
