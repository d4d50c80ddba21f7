#include "settings.h"

#include "app/constants.h"
#include "app/programtitle.h"
#include "compat/qtcompat.h"
#include "terminal/terminalconstants.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
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

} // namespace

// A window whose title bar is on no screen comes back at the first-run place; one too large for
// its screen is cut to the room between its place and the screen's far corner, so that all of
// it, status bar included, can be seen.
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

namespace {

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

QString tr(const char *text)
{
    return QCoreApplication::translate("VantorTerm", text);
}

// The stored keys, for telling how many of them a damaged store still held.
QStringList storedKeys()
{
    QStringList keys
        = {positionKey,      sizeKey,      toolbarKey,     fontFamilyKey, fontSizeKey,
           fontWeightKey,    fontStyleKey, fontColorKey,   backColorKey,  showFunctionDialogKey,
           delayKey,         hexModeKey,   timestampsKey,  loggingKey,    logFileKey,
           lineDelayKey,     paceWholeKey, commandLineKey, lineEndKey,    commandModeKey,
           commandHistoryKey};
    for (int n = 1; n <= functionKeyCount; ++n)
        keys.append(functionKeyName(n));
    return keys;
}

// The index of the stored name among names, or fallback for a name that is none of them.
template <size_t count, size_t length>
int storedChoice(const QSettings &settings, const char *key, const char (&names)[count][length],
                 int fallback)
{
    const QString name = settings.value(QLatin1String(key)).toString();
    for (size_t i = 0; i < count; ++i) {
        if (name == QLatin1String(names[i]))
            return int(i);
    }
    return fallback;
}

} // namespace

StoredSettings readSettings(QString *problem)
{
    QSettings settings(QLatin1String(organisation), programTitle());
    QtCompat::prepareSettingsForReading(settings);
    // A store that cannot be read gives the defaults, as a missing one does, but not silently.
    if (settings.status() == QSettings::AccessError) {
        *problem
            = tr("Can't read the settings (%2): %1")
                  .arg(settings.fileName(), storeProblem(settings.fileName(), QIODevice::ReadOnly));
    } else if (settings.status() == QSettings::FormatError) {
        // What could be read is used; the rest is a first run's, and the next store mends it.
        const QStringList keys = storedKeys();
        const auto found = std::count_if(
            keys.cbegin(), keys.cend(), [&](const QString &key) { return settings.contains(key); });
        *problem = tr("The settings were damaged (%1): %2 of %3 values could be read and are "
                      "kept, the others are back to their defaults.")
                       .arg(settings.fileName())
                       .arg(found)
                       .arg(keys.size());
    }

    StoredSettings values;
    values.position = valueOr(settings, positionKey, defaultPosition);
    values.size = settings.value(QLatin1String(sizeKey)).toSize();
    if (values.size.width() < 1 || values.size.height() < 1)
        values.size = defaultSize;
    values.toolbarHidden = settings.value(QLatin1String(toolbarKey)).toBool();

    values.font.setFamily(valueOr(settings, fontFamilyKey,
                                  QString::fromLatin1(TerminalConstants::defaultFontFamily)));
    // The stored scale ends at 99; a hand-edited store must not push a value past it into the
    // font, which would silently wrap it to an unrelated weight.
    const int weight = valueOr(settings, fontWeightKey, defaultFontWeight);
    QtCompat::setLegacyFontWeight(values.font, std::clamp(weight, 1, 99));
    values.font.setPointSize(valueOr(settings, fontSizeKey, TerminalConstants::defaultPointSize));
    const bool italic = settings.value(QLatin1String(fontStyleKey)).toBool();
    values.font.setStyle(italic ? QFont::StyleItalic : QFont::StyleNormal);
    values.fontColor = colorSetting(settings, fontColorKey, TerminalConstants::defaultFontColor);
    values.backColor = colorSetting(settings, backColorKey, TerminalConstants::defaultBackColor);

    values.functionKeys.keys.clear();
    for (int n = 1; n <= functionKeyCount; ++n) {
        const QString text = settings.value(functionKeyName(n), QString()).toString();
        values.functionKeys.keys.append({Qt::Key_F1 + n - 1, text});
    }
    values.functionKeys.delay = settings.value(QLatin1String(delayKey), defaultDelayMs).toInt();
    values.functionKeys.lineDelay = settings.value(QLatin1String(lineDelayKey), 0).toInt();
    values.functionKeys.paceWhole = settings.value(QLatin1String(paceWholeKey)).toBool();
    values.functionDialogShown
        = settings.value(QLatin1String(showFunctionDialogKey), false).toBool();
    values.hexMode = settings.value(QLatin1String(hexModeKey)).toBool();
    values.timestamps = settings.value(QLatin1String(timestampsKey)).toBool();
    values.logging = settings.value(QLatin1String(loggingKey)).toBool();
    values.logFile = settings.value(QLatin1String(logFileKey)).toString();
    values.commandLineShown = settings.value(QLatin1String(commandLineKey)).toBool();
    values.lineEnd = CommandLine::LineEnd(
        storedChoice(settings, lineEndKey, lineEndNames, int(CommandLine::LineEnd::Cr)));
    values.commandMode = CommandLine::Mode(
        storedChoice(settings, commandModeKey, commandModeNames, int(CommandLine::Mode::Text)));
    values.commandHistory = settings.value(QLatin1String(commandHistoryKey)).toStringList();
    return values;
}

QString settingsFileName()
{
    return QSettings(QLatin1String(organisation), programTitle()).fileName();
}

QString writeSettings(const StoredSettings &values)
{
    QSettings settings(QLatin1String(organisation), programTitle());
    QtCompat::prepareSettingsForWriting(settings);

    settings.setValue(QLatin1String(positionKey), values.position);
    settings.setValue(QLatin1String(sizeKey), values.size);
    settings.setValue(QLatin1String(fontFamilyKey), values.font.family());
    settings.setValue(QLatin1String(fontSizeKey), values.font.pointSize());
    settings.setValue(QLatin1String(fontWeightKey), QtCompat::legacyFontWeight(values.font));
    settings.setValue(QLatin1String(fontStyleKey), values.font.style() != QFont::StyleNormal);
    settings.setValue(QLatin1String(fontColorKey), values.fontColor.name());
    settings.setValue(QLatin1String(backColorKey), values.backColor.name());
    settings.setValue(QLatin1String(toolbarKey), values.toolbarHidden);
    settings.setValue(QLatin1String(showFunctionDialogKey), values.functionDialogShown);
    for (int i = 0; i < values.functionKeys.keys.size(); ++i)
        settings.setValue(functionKeyName(i + 1), values.functionKeys.keys.at(i).text);
    settings.setValue(QLatin1String(delayKey), QString::number(values.functionKeys.delay));
    settings.setValue(QLatin1String(hexModeKey), values.hexMode);
    settings.setValue(QLatin1String(timestampsKey), values.timestamps);
    settings.setValue(QLatin1String(loggingKey), values.logging);
    settings.setValue(QLatin1String(logFileKey), values.logFile);
    settings.setValue(QLatin1String(lineDelayKey), QString::number(values.functionKeys.lineDelay));
    settings.setValue(QLatin1String(paceWholeKey), values.functionKeys.paceWhole);
    settings.setValue(QLatin1String(commandLineKey), values.commandLineShown);
    settings.setValue(QLatin1String(lineEndKey),
                      QString::fromLatin1(lineEndNames[int(values.lineEnd)]));
    settings.setValue(QLatin1String(commandModeKey),
                      QString::fromLatin1(commandModeNames[int(values.commandMode)]));
    settings.setValue(QLatin1String(commandHistoryKey), values.commandHistory);

    settings.sync();
    // A format error is left from reading a damaged store, which the values have now replaced;
    // only an access error means they were not written.
    if (settings.status() != QSettings::AccessError)
        return QString();
    return tr("Can't store the settings (%2): %1")
        .arg(settings.fileName(), storeProblem(settings.fileName(), QIODevice::ReadWrite));
}
