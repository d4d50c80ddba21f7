#pragma once

#include <QObject>
#include <QString>

#include <functional>

class DeviceLink;
class DeviceLog;
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

    // What the settings keep: whether it is on, and the file logged to last.
    bool isLogging() const;
    QString fileName() const;
    // Goes on logging into fileName, as at the last close; a file that was logged to but is off
    // is only remembered, for the folder the next one is asked in.
    void restore(bool logging, const QString &fileName);

    void setTimestamps(bool on);
    // Writes out everything and closes the file, as the program ends.
    void close();

signals:
    // Something for the status bar.
    void statusMessage(const QString &text);
    // Logging stopped on its own (the disk is full, the file was removed): why, and how much
    // the file holds.
    void stopped(const QString &message);
    // The file the user chose cannot be logged to.
    void refused(const QString &message);

private:
    // Checking asks for a file; unchecking closes it.
    void toggle(bool on);
    // Starts logging into fileName; returns why it cannot, empty when it can.
    QString start(const QString &fileName);
    void updateLabel();

    QAction *m_action;
    QWidget *m_window;
    DeviceLog *m_log;
    // "Logging to capture.log (2.1 MB)" while logging is on.
    QLabel *m_label;
    // The file logged to last, for the folder the next one is asked in.
    QString m_fileName;
    FileNamePrompt m_prompt;
};
