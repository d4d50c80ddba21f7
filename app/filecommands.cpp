// The window's commands that read or write files: SaveCapture, Log to File and Send File.

#include "app/capturefile.h"
#include "app/vantorterm.h"
#include "common/logging.h"
#include "link/devicelink.h"
#include "terminal/devicelog.h"
#include "terminal/ostraview.h"
#include "ui_vantorterm.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTextDocument>

#include <cerrno>
#include <memory>

void VantorTerm::setCaptureFileNamePrompt(FileNamePrompt prompt)
{
    m_captureFileNamePrompt = std::move(prompt);
}

void VantorTerm::saveCapture()
{
    const QString fileName
        = m_captureFileNamePrompt
              ? m_captureFileNamePrompt(this)
              : QFileDialog::getSaveFileName(this, tr("Save Capture File"), QString(),
                                             tr("html Files (*.html);;log Files (*.log)"));
    if (fileName.isEmpty())
        return;

    // Taken after the dialog has closed, so data received meanwhile is part of the capture, and
    // with the batches that the view still holds back for its next frame; as shown, with the
    // time before each line that has one.
    const std::unique_ptr<QTextDocument> stamped = view->stampedCopy();
    const QTextDocument &shown = stamped ? *stamped : *view->document();
    const QString content = captureText(shown, fileName.contains(QLatin1String(".html")));
    const QString failure = writeCaptureFile(fileName, content.toLatin1());
    if (!failure.isEmpty())
        QMessageBox::critical(this, tr("save capture file Error!"), failure);
}

// The log file keeps what the device says: every received byte, and a marker at each connect and
// disconnect; its state shows in the status bar.
void VantorTerm::wireLog()
{
    connect(m_link, &DeviceLink::bytesReceived, m_log, &DeviceLog::write);
    connect(m_link, &DeviceLink::connected, m_log, &DeviceLog::markConnected);
    connect(m_link, &DeviceLink::disconnected, m_log, &DeviceLog::markDisconnected);
    connect(m_log, &DeviceLog::flushed, this, &VantorTerm::updateLogStatus);
    connect(m_log, &DeviceLog::failed, this, [this](const QString &reason, qint64 size) {
        stopLog(tr("Logging to %1 stopped: %2. The file holds %3 bytes.")
                    .arg(m_logFile, reason)
                    .arg(size));
    });
    m_logStatus = new QLabel(this);
    m_logStatus->setObjectName(QStringLiteral("logStatus"));
    statusBar()->addPermanentWidget(m_logStatus);
    m_logStatus->hide();
}

void VantorTerm::setLogFileNamePrompt(FileNamePrompt prompt)
{
    m_logFileNamePrompt = std::move(prompt);
}

void VantorTerm::setSendFileNamePrompt(FileNamePrompt prompt)
{
    m_sendFileNamePrompt = std::move(prompt);
}

void VantorTerm::logToFile(bool on)
{
    if (!on) {
        m_log->close();
        m_logStatus->hide();
        return;
    }
    // A new name each time, in the folder used last; an existing file is appended to.
    const QString folder
        = m_logFile.isEmpty() ? QDir::homePath() : QFileInfo(m_logFile).absolutePath();
    const QString suggested = QDir(folder).filePath(QDateTime::currentDateTime().toString(
        QStringLiteral("'tarquel-'yyyy-MM-dd_HH-mm-ss'.log'")));
    const QString fileName
        = m_logFileNamePrompt
              ? m_logFileNamePrompt(this)
              : QFileDialog::getSaveFileName(this, tr("Log to File"), suggested,
                                             tr("log Files (*.log);;All Files (*)"), nullptr,
                                             QFileDialog::DontConfirmOverwrite);
    if (fileName.isEmpty()) {
        m_ui->actionLog_to_File->setChecked(false);
        return;
    }
    const QString problem = startLog(fileName);
    if (!problem.isEmpty()) {
        QMessageBox::critical(this, tr("Log to File"),
                              tr("Can't log to %1: %2").arg(fileName, problem));
    }
}

QString VantorTerm::startLog(const QString &fileName)
{
    const QString problem = m_log->open(fileName);
    m_ui->actionLog_to_File->setChecked(problem.isEmpty());
    if (!problem.isEmpty())
        return problem;
    m_logFile = fileName;
    updateLogStatus();
    m_logStatus->show();
    return QString();
}

// Logging ends on its own (the disk is full, the file was removed): said in the status bar and
// in a box that does not hold up the terminal, which goes on as it was.
void VantorTerm::stopLog(const QString &message)
{
    m_ui->actionLog_to_File->setChecked(false);
    m_logStatus->hide();
    showStatus(message);
    qCWarning(lcApp).noquote() << message;
    auto box
        = new QMessageBox(QMessageBox::Warning, tr("Log to File"), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void VantorTerm::updateLogStatus()
{
    m_logStatus->setText(
        tr("Logging to %1 (%2)")
            .arg(QFileInfo(m_logFile).fileName(), QLocale().formattedDataSize(m_log->size())));
    m_logStatus->setToolTip(m_logFile);
}

void VantorTerm::sendFile()
{
    const QString fileName
        = m_sendFileNamePrompt
              ? m_sendFileNamePrompt(this)
              : QFileDialog::getOpenFileName(this, tr("Send File"), QString(), tr("All Files (*)"));
    if (fileName.isEmpty())
        return;
    // A file is bytes: sent as they are, read a piece at a time as they go out. A device or a
    // FIFO has no end to send up to.
    const QFileInfo info(fileName);
    auto file = std::make_unique<QFile>(fileName);
    QString problem;
    if (!info.exists())
        problem = qt_error_string(ENOENT);
    else if (!info.isFile())
        problem = tr("not a regular file");
    else if (!file->open(QIODevice::ReadOnly))
        problem = file->errorString();
    if (!problem.isEmpty()) {
        QMessageBox::critical(this, tr("Send File"),
                              tr("Can't send %1: %2").arg(fileName, problem));
        return;
    }
    const qint64 size = file->size();
    m_link->sendPaced(std::move(file), size, delay());
}

void VantorTerm::setTimestamps(bool on)
{
    view->setTimestamps(on);
    m_log->setTimestamps(on);
}
