#include "logtofile.h"

#include "app/settings.h"
#include "link/devicelink.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>

namespace {

// Whether two names name one file, also when neither exists yet.
bool sameFile(const QString &one, const QString &other)
{
    const QFileInfo first(one);
    const QFileInfo second(other);
    if (first.exists() && second.exists())
        return first == second;
    return QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath());
}

} // namespace

LogToFile::LogToFile(QAction *action, DeviceLink *link, QWidget *window)
    : QObject(window)
    , m_action(action)
    , m_window(window)
    , m_log(new DeviceLog(this))
    , m_label(new QLabel(window))
{
    m_label->setObjectName(QStringLiteral("logStatus"));
    m_label->hide();
    // Checked by the user; restore() checks it without asking for a file.
    connect(m_action, &QAction::triggered, this, &LogToFile::toggle);
    connect(link, &DeviceLink::bytesReceived, m_log, &DeviceLog::appendReceived);
    connect(link, &DeviceLink::connected, m_log, &DeviceLog::markConnected);
    connect(link, &DeviceLink::portClosed, m_log, &DeviceLog::markDisconnected);
    connect(m_log, &DeviceLog::flushed, this, &LogToFile::updateLabel);
    connect(m_log, &DeviceLog::failed, this, &LogToFile::logStopped);
}

LogToFile::~LogToFile() = default;

QLabel *LogToFile::statusLabel() const
{
    return m_label;
}

void LogToFile::setFileNamePrompt(FileNamePrompt prompt)
{
    m_prompt = std::move(prompt);
}

bool LogToFile::isOn() const
{
    return m_log->isOpen() || m_reopenFailed;
}

QString LogToFile::fileName() const
{
    return m_fileName;
}

void LogToFile::restore(bool logging, const QString &fileName)
{
    m_fileName = fileName;
    if (!logging || fileName.isEmpty())
        return;
    // A log that was on at the last close goes on, so that what a device plugged in later says
    // first is not missed.
    const QString problem = start(fileName);
    if (problem.isEmpty()) {
        emit statusMessage(tr("Logging resumed: %1").arg(fileName));
        return;
    }
    // Its medium may not be there yet: said where it stays, and tried again at the next start
    // unless the user turns it off.
    m_reopenFailed = true;
    m_action->setChecked(true);
    m_label->setText(tr("Not logging: can't reopen %1: %2").arg(fileName, problem));
    m_label->setToolTip(fileName);
    m_label->show();
    emit stopped(tr("Can't resume logging to %1: %2. Log to File stays on and tries this file "
                    "again at the next start; uncheck it to stop.")
                     .arg(fileName, problem));
}

void LogToFile::setTimestamps(bool on)
{
    m_log->setTimestamps(on);
}

void LogToFile::close()
{
    m_log->closeAndWait();
}

void LogToFile::toggle(bool on)
{
    m_reopenFailed = false;
    if (!on) {
        m_log->close();
        m_label->hide();
        return;
    }
    // A new name each time, in the folder used last; an existing file is appended to.
    const QString folder
        = m_fileName.isEmpty() ? QDir::homePath() : QFileInfo(m_fileName).absolutePath();
    const QString suggested = QDir(folder).filePath(QDateTime::currentDateTime().toString(
        QStringLiteral("'tarquel-'yyyy-MM-dd_HH-mm-ss'.log'")));
    const QString fileName
        = m_prompt ? m_prompt(m_window)
                   : QFileDialog::getSaveFileName(m_window, tr("Log to File"), suggested,
                                                  tr("log Files (*.log);;All Files (*)"), nullptr,
                                                  QFileDialog::DontConfirmOverwrite);
    if (fileName.isEmpty()) {
        m_action->setChecked(false);
        return;
    }
    const QString problem = start(fileName);
    if (!problem.isEmpty())
        emit refused(tr("Can't log to %1: %2").arg(fileName, problem));
}

QString LogToFile::start(const QString &fileName)
{
    // A relative name would log into whatever folder the terminal was started from, and the
    // settings store would be overwritten by the log.
    QString problem;
    if (QFileInfo(fileName).isRelative())
        problem = tr("not a full path");
    else if (sameFile(fileName, settingsFileName()))
        problem = tr("that is the terminal's settings file");
    else
        problem = m_log->open(fileName);
    m_action->setChecked(problem.isEmpty());
    if (!problem.isEmpty())
        return problem;
    m_fileName = fileName;
    updateLabel();
    m_label->show();
    return QString();
}

void LogToFile::logStopped(const QString &fileName, DeviceLog::Stop stop, const QString &cause,
                           qint64 size)
{
    // The end of a log closed earlier may fail while another is open.
    if (!m_log->isOpen()) {
        m_action->setChecked(false);
        m_label->hide();
    }
    const QString held = QString::number(size);
    QString message;
    switch (stop) {
    case DeviceLog::Stop::WriteFailed:
        message
            = tr("Logging to %1 stopped: %2. The file holds %3 bytes.").arg(fileName, cause, held);
        break;
    case DeviceLog::Stop::Removed:
        message = tr("Logging to %1 stopped: the file was removed. It held %2 bytes.")
                      .arg(fileName, held);
        break;
    case DeviceLog::Stop::Replaced:
        message = tr("Logging to %1 stopped: the file was replaced by another file. The file "
                     "logged to held %2 bytes.")
                      .arg(fileName, held);
        break;
    case DeviceLog::Stop::DiskTooSlow:
        message = tr("Logging to %1 stopped: the disk could not keep up with the device. The "
                     "file holds %2 bytes once the disk has written what it was given.")
                      .arg(fileName, held);
        break;
    }
    emit stopped(message);
}

void LogToFile::updateLabel()
{
    m_label->setText(
        tr("Logging to %1 (%2)")
            .arg(QFileInfo(m_fileName).fileName(), QLocale().formattedDataSize(m_log->size())));
    m_label->setToolTip(m_fileName);
}
