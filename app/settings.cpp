// The main window's settings: read once while the window is built, written once when it closes.

#include "app/constants.h"
#include "app/logging.h"
#include "app/programtitle.h"
#include "app/vantorterm.h"
#include "compat/qtcompat.h"
#include "fkeys/functiondlg.h"
#include "terminal/ostraview.h"
#include "terminal/terminalconstants.h"
#include "ui_vantorterm.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

#include <algorithm>

using namespace Constants;

namespace {

QString functionKeyName(int number)
{
    return QString::fromLatin1(functionKeyKey).arg(number);
}

// The stored value, or fallback where the store holds none, an empty one or a zero.
template <typename T>
T valueOr(const QSettings &settings, const char *key, const T &fallback)
{
    const T value = settings.value(QLatin1String(key)).value<T>();
    return value == T() ? fallback : value;
}

// A colour stored by name; an empty name gives the fallback, a name that is no colour gives an
// invalid colour, which the view knows how to treat.
QColor colorSetting(const QSettings &settings, const char *key, QRgb fallback)
{
    const QString name = settings.value(QLatin1String(key)).toString();
    if (name.isEmpty())
        return QColor(fallback);
    QColor color;
    color.setNamedColor(name);
    return color;
}

// How much of the window's top is taken as its title bar when deciding whether it can be
// reached; the frame is not known before the window is shown.
constexpr int titleBarHeight = 20;

// The screen that shows some of the title bar of a window at position, as wide as width; none
// when the title bar would be on no screen (a monitor that was unplugged, a hand-edited store).
// Computed in 64 bits, so that no stored value can overflow.
QScreen *screenShowingTitleBar(QPoint position, int width)
{
    const qint64 left = position.x();
    const qint64 right = left + std::max(width, 1);
    const qint64 top = position.y();
    const qint64 bottom = top + titleBarHeight;
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        const qint64 overlapWidth
            = std::min(right, qint64(area.right()) + 1) - std::max(left, qint64(area.left()));
        const qint64 overlapHeight
            = std::min(bottom, qint64(area.bottom()) + 1) - std::max(top, qint64(area.top()));
        if (overlapWidth > 0 && overlapHeight > 0)
            return screen;
    }
    return nullptr;
}

// Where a window stored at position with size comes back: reachable, and no larger than the
// screen it lands on. A window whose title bar is on no screen comes back at the first-run place;
// one too large for its screen is cut to the room between its place and the screen's far corner,
// so that all of it, status bar included, can be seen.
QRect restoredGeometry(QPoint position, QSize size)
{
    QScreen *screen = screenShowingTitleBar(position, size.width());
    if (!screen) {
        position = defaultPosition;
        screen = screenShowingTitleBar(position, size.width());
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(position, size);
    const QRect room = screen->availableGeometry();
    if (size.width() <= room.width() && size.height() <= room.height())
        return QRect(position, size);
    const qint64 width = qint64(room.right()) + 1 - std::max<qint64>(position.x(), room.left());
    const qint64 height
        = qint64(room.bottom()) + 1 - titleBarHeight - std::max<qint64>(position.y(), room.top());
    return QRect(position,
                 size.boundedTo(QSize(int(std::clamp<qint64>(width, 1, room.width())),
                                      int(std::clamp<qint64>(height, 1, room.height())))));
}

// Why the store at path cannot be opened in mode, in the file system's words.
QString storeProblem(const QString &path, QIODevice::OpenMode mode)
{
    QFile file(path);
    const bool existed = file.exists();
    if (file.open(mode)) {
        file.close();
        if (!existed)
            file.remove();
        return QCoreApplication::translate("VantorTerm", "unknown cause");
    }
    return file.errorString();
}

} // namespace

void VantorTerm::loadSettings()
{
    showStatus(tr(loadingStatus));
    QSettings settings(QLatin1String(organisation), programTitle());
    QtCompat::prepareSettingsForReading(settings);
    // A store that cannot be read gives the defaults, as a missing one does, but not silently.
    if (settings.status() == QSettings::AccessError) {
        showStatus(
            tr("Can't read the settings (%2): %1")
                .arg(settings.fileName(), storeProblem(settings.fileName(), QIODevice::ReadOnly)));
    }

    const QPoint position = valueOr(settings, positionKey, defaultPosition);
    QSize windowSize = settings.value(QLatin1String(sizeKey)).toSize();
    if (windowSize.width() < 1 || windowSize.height() < 1)
        windowSize = defaultSize;

    const QRect geometry = restoredGeometry(position, windowSize);
    move(geometry.topLeft());
    resize(geometry.size());

    // Checking the action hides the tool bar through its toggled() connection.
    m_ui->action_Toolbar->setChecked(settings.value(QLatin1String(toolbarKey)).toBool());

    QFont font;
    font.setFamily(valueOr(settings, fontFamilyKey,
                           QString::fromLatin1(TerminalConstants::defaultFontFamily)));
    // The stored scale ends at 99; a hand-edited store must not push a value past it into the
    // font, which would silently wrap it to an unrelated weight.
    const int weight = valueOr(settings, fontWeightKey, defaultFontWeight);
    QtCompat::setLegacyFontWeight(font, std::clamp(weight, 1, 99));
    font.setPointSize(valueOr(settings, fontSizeKey, TerminalConstants::defaultPointSize));
    const bool italic = settings.value(QLatin1String(fontStyleKey)).toBool();
    font.setStyle(italic ? QFont::StyleItalic : QFont::StyleNormal);
    view->setViewFont(font);

    view->setFontColor(colorSetting(settings, fontColorKey, TerminalConstants::defaultFontColor));
    view->setBackColor(colorSetting(settings, backColorKey, TerminalConstants::defaultBackColor));

    m_functionKeys.clear();
    for (int n = 1; n <= functionKeyCount; ++n) {
        const QString text = settings.value(functionKeyName(n), QString()).toString();
        m_functionKeys.append({Qt::Key_F1 + n - 1, text});
    }
    m_delay = settings.value(QLatin1String(delayKey), defaultDelayMs).toInt();

    // The table and the delay are loaded already, so the dialog fills itself with them.
    if (settings.value(QLatin1String(showFunctionDialogKey), false).toBool()
        && !(functionDlg && functionDlg->isVisible()))
        openFunctionDialog();

    // The action starts checked; unchecking it hides the hex pane through toggled().
    isHexamode = settings.value(QLatin1String(hexModeKey)).toBool();
    m_ui->actionHexa_Mode->setChecked(isHexamode);
}

void VantorTerm::storeSettings()
{
    showStatus(tr(storingStatus));
    QSettings settings(QLatin1String(organisation), programTitle());
    QtCompat::prepareSettingsForWriting(settings);

    const QFont font = view->viewFont();
    settings.setValue(QLatin1String(positionKey), pos());
    settings.setValue(QLatin1String(sizeKey), size());
    settings.setValue(QLatin1String(fontFamilyKey), font.family());
    settings.setValue(QLatin1String(fontSizeKey), font.pointSize());
    settings.setValue(QLatin1String(fontWeightKey), QtCompat::legacyFontWeight(font));
    settings.setValue(QLatin1String(fontStyleKey), font.style() != QFont::StyleNormal);
    settings.setValue(QLatin1String(fontColorKey), view->fontColor().name());
    settings.setValue(QLatin1String(backColorKey), view->backColor().name());
    settings.setValue(QLatin1String(toolbarKey), m_ui->action_Toolbar->isChecked());
    settings.setValue(QLatin1String(showFunctionDialogKey),
                      functionDlg && functionDlg->isVisible());
    for (int i = 0; i < m_functionKeys.size(); ++i)
        settings.setValue(functionKeyName(i + 1), m_functionKeys.at(i).text);
    settings.setValue(QLatin1String(delayKey), QString::number(m_delay));
    settings.setValue(QLatin1String(hexModeKey), isHexamode);

    settings.sync();
    if (settings.status() != QSettings::NoError) {
        const QString problem = storeProblem(settings.fileName(), QIODevice::ReadWrite);
        qCWarning(lcApp).noquote().nospace()
            << "Can't store the settings (" << problem << "): " << settings.fileName();
        QMessageBox::warning(
            this, tr("Settings not stored"),
            tr("Can't store the settings (%2): %1").arg(settings.fileName(), problem));
    }
}
