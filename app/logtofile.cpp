#include "logtofile.h"

#include "app/devicelog.h"
#include "link/devicelink.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>

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
    connect(m_log, &DeviceLog::failed, this, [this](const QString &reason, qint64 size) {
        m_action->setChecked(false);
        m_label->hide();
        emit stopped(tr("Logging to %1 stopped: %2. The file holds %3 bytes.")
                         .arg(m_fileName, reason)
                         .arg(size));
    });
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

bool LogToFile::isLogging() const
{
    return m_log->isOpen();
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
    emit statusMessage(problem.isEmpty()
                           ? tr("Logging resumed: %1").arg(fileName)
                           : tr("Can't resume logging to %1: %2").arg(fileName, problem));
}

void LogToFile::setTimestamps(bool on)
{
    m_log->setTimestamps(on);
}

void LogToFile::close()
{
    m_log->close();
}

void LogToFile::toggle(bool on)
{
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
    const QString problem = m_log->open(fileName);
    m_action->setChecked(problem.isEmpty());
    if (!problem.isEmpty())
        return problem;
    m_fileName = fileName;
    updateLabel();
    m_label->show();
    return QString();
}

void LogToFile::updateLabel()
{
    m_label->setText(
        tr("Logging to %1 (%2)")
            .arg(QFileInfo(m_fileName).fileName(), QLocale().formattedDataSize(m_log->size())));
    m_label->setToolTip(m_fileName);
}
