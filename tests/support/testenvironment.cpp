#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QMutex>
#include <QSettings>

static void registerImages()
{
    Q_INIT_RESOURCE(tarquel);
}

TestEnvironment::TestEnvironment()
{
    registerImages();
    QSettings::setDefaultFormat(QSettings::NativeFormat);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
}

TestEnvironment::~TestEnvironment() = default;

void TestEnvironment::clearSettings()
{
    QDir folder(m_settings.path());
    folder.removeRecursively();
    QDir().mkpath(m_settings.path());
}

QSet<qreal> glyphAdvances(const QFont &font)
{
    const QFontMetricsF metrics(font);
    QSet<qreal> widths;
    for (char character = 0x20; character < 0x7f; ++character)
        widths.insert(metrics.horizontalAdvance(QLatin1Char(character)));
    return widths;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

namespace {

QMutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;
int logDepth = 0;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&logMutex);
        logLines.append(message);
    }
    // Warnings and worse still reach the test's output.
    if (type != QtDebugMsg && previousHandler)
        previousHandler(type, context, message);
}

} // namespace

DebugLog::DebugLog()
{
    QMutexLocker lock(&logMutex);
    if (logDepth++ == 0) {
        logLines.clear();
        previousHandler = qInstallMessageHandler(collect);
    }
}

DebugLog::~DebugLog()
{
    QMutexLocker lock(&logMutex);
    if (--logDepth == 0)
        qInstallMessageHandler(previousHandler);
}

QStringList DebugLog::lines() const
{
    QMutexLocker lock(&logMutex);
    return logLines;
}

bool DebugLog::contains(const QString &text) const
{
    return count(text) > 0;
}

int DebugLog::count(const QString &text) const
{
    QMutexLocker lock(&logMutex);
    int n = 0;
    for (const QString &line : logLines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

void DebugLog::clear()
{
    QMutexLocker lock(&logMutex);
    logLines.clear();
}

QLineEdit *functionKeyEdit(const QWidget *dialog, int index)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_f%1").arg(index + 1));
}

QCheckBox *lineFeedBox(const QWidget *dialog, int index)
{
    return dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_f%1").arg(index + 1));
}

QSpinBox *delayBox(const QWidget *dialog)
{
    return dialog->findChild<QSpinBox *>(QStringLiteral("spinBox_delay"));
}
