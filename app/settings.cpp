// The main window's settings: read once while the window is built, written once when it closes.

#include "app/programtitle.h"
#include "app/vantorterm.h"
#include "compat/qtcompat.h"
#include "fkeys/functiondlg.h"
#include "terminal/ostraview.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString organisation = QStringLiteral("TarquelTerm");

QString functionKeyName(int number)
{
    return QStringLiteral("F%1").arg(number);
}

// A colour stored by name; an empty name gives the fallback, a name that is no colour gives an
// invalid colour, which the view knows how to treat.
QColor colorSetting(const QSettings &settings, const QString &key, const char *fallback)
{
    QString name = settings.value(key).toString();
    if (name.isEmpty())
        name = QLatin1String(fallback);
    QColor color;
    color.setNamedColor(name);
    return color;
}

} // namespace

void VantorTerm::loadSettings()
{
    showStatus(tr("getting previews settings..."));
    QSettings settings(organisation, programTitle());
    QtCompat::prepareSettings(settings);

    QPoint position = settings.value(QStringLiteral("pos")).toPoint();
    if (position == QPoint(0, 0))
        position = QPoint(25, 25);
    move(position);

    QSize windowSize = settings.value(QStringLiteral("size")).toSize();
    if (windowSize.width() < 1 || windowSize.height() < 1)
        windowSize = QSize(800, 600);
    resize(windowSize);

    // Checking the action hides the tool bar through its toggled() connection.
    m_ui.action_Toolbar->setChecked(settings.value(QStringLiteral("viewtoolbar")).toBool());

    QString family = settings.value(QStringLiteral("fontfamily")).toString();
    if (family.isEmpty())
        family = QStringLiteral("Courier New");
    int pointSize = settings.value(QStringLiteral("fontsize")).toInt();
    if (pointSize == 0)
        pointSize = 10;
    int weight = settings.value(QStringLiteral("fontweight")).toInt();
    if (weight == 0)
        weight = 50;
    // The stored scale ends at 99; a hand-edited store must not push a value past it into the
    // font, which would silently wrap it to an unrelated weight.
    weight = std::clamp(weight, 1, 99);
    const bool italic = settings.value(QStringLiteral("fontstyle")).toBool();

    QFont font;
    font.setFamily(family);
    QtCompat::setLegacyFontWeight(font, weight);
    font.setPointSize(pointSize);
    font.setStyle(italic ? QFont::StyleItalic : QFont::StyleNormal);
    view->setViewFont(font);

    view->setFontColor(colorSetting(settings, QStringLiteral("fontcolor"), "#FFFFFF"));
    view->setBackColor(colorSetting(settings, QStringLiteral("backcolor"), "#438865"));

    m_functionKeys.clear();
    for (int n = 1; n <= functionKeyCount; ++n) {
        const QString text = settings.value(functionKeyName(n), QString()).toString();
        m_functionKeys.append({Qt::Key_F1 + n - 1, text});
    }
    m_delay = settings.value(QStringLiteral("delay"), 5).toInt();

    // The table and the delay are loaded already, so the dialog fills itself with them.
    if (settings.value(QStringLiteral("ShowFunctionDlg"), false).toBool()
        && !(functionDlg && functionDlg->isVisible()))
        openFunctionDialog();

    // The action starts checked; unchecking it hides the hex pane through toggled().
    isHexamode = settings.value(QStringLiteral("isHexamode")).toBool();
    m_ui.actionHexa_Mode->setChecked(isHexamode);
}

void VantorTerm::storeSettings()
{
    showStatus(tr("store current settings..."));
    QSettings settings(organisation, programTitle());
    QtCompat::prepareSettings(settings);

    const QFont font = view->viewFont();
    settings.setValue(QStringLiteral("pos"), pos());
    settings.setValue(QStringLiteral("size"), size());
    settings.setValue(QStringLiteral("fontfamily"), font.family());
    settings.setValue(QStringLiteral("fontsize"), font.pointSize());
    settings.setValue(QStringLiteral("fontweight"), QtCompat::legacyFontWeight(font));
    settings.setValue(QStringLiteral("fontstyle"), font.style() != QFont::StyleNormal);
    settings.setValue(QStringLiteral("fontcolor"), view->fontColor().name());
    settings.setValue(QStringLiteral("backcolor"), view->backColor().name());
    settings.setValue(QStringLiteral("viewtoolbar"), m_ui.action_Toolbar->isChecked());
    settings.setValue(QStringLiteral("ShowFunctionDlg"), functionDlg && functionDlg->isVisible());
    for (int i = 0; i < m_functionKeys.size(); ++i)
        settings.setValue(functionKeyName(i + 1), m_functionKeys.at(i).text);
    settings.setValue(QStringLiteral("delay"), QString::number(m_delay));
    settings.setValue(QStringLiteral("isHexamode"), isHexamode);
}
