#pragma once

#include "app/devicelog.h"

#include <QObject>
#include <QString>

#include <functional>

class DeviceLink;
class QAction;
class QLabel;
class QWidget;

// Log to File as the user sees it: the checkable action asks for a file and starts the device
// log on it, a label in the status bar says where it goes and how much it holds, and a log that
// stops on its own says why. It takes every batch the link receives and a marker at each
// connect and disconnect.
class LogToFile : public QObject
{
    Q_OBJECT

public:
    using FileNamePrompt = std::function<QString(QWidget *parent)>;

    // action is the window's "Log to File"; window is where the file dialog opens.
    LogToFile(QAction *action, DeviceLink *link, QWidget *window);
    ~LogToFile() override;

    // The label the window puts in its status bar.
    QLabel *statusLabel() const;
    // Replaces the file dialog, for tests and benchmarks.
    void setFileNamePrompt(FileNamePrompt prompt);

    // What the settings keep: whether it is on (logging, or waiting for a stored file it could
    // not reopen), and the file logged to last.
    bool isOn() const;
    QString fileName() const;
    // Goes on logging into fileName, as at the last close; a file that was logged to but is off
    // is only remembered, for the folder the next one is asked in. A file that cannot be
    // reopened stays on, said in the label, to be tried again at the next start.
    void restore(bool logging, const QString &fileName);

    void setTimestamps(bool on);
    // Writes out everything and closes the file, as the program ends; waits for the disk at
    // most a few seconds.
    void close();

signals:
    // Something for the status bar.
    void statusMessage(const QString &text);
    // Logging stopped on its own (the disk is full, the file was removed), or could not resume:
    // why, and how much the file holds.
    void stopped(const QString &message);
    // The file the user chose cannot be logged to.
    void refused(const QString &message);

private:
    // Checking asks for a file; unchecking closes it.
    void toggle(bool on);
    // Starts logging into fileName; returns why it cannot, empty when it can.
    QString start(const QString &fileName);
    void logStopped(const QString &fileName, DeviceLog::Stop stop, const QString &cause,
                    qint64 size);
    void updateLabel();

    QAction *m_action;
    QWidget *m_window;
    DeviceLog *m_log;
    // "Logging to capture.log (2.1 MB)" while logging is on.
    QLabel *m_label;
    // The file logged to last, for the folder the next one is asked in.
    QString m_fileName;
    // The stored log could not be reopened: Log to File stays on, though nothing is logged,
    // until the user turns it off.
    bool m_reopenFailed = false;
    FileNamePrompt m_prompt;
};
