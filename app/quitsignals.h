#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered by the event loop, so that a
// session logging out, kill or Ctrl+C close the window the normal way and the settings are
// stored; and makes a file-size limit (ulimit -f) a write that fails with its cause instead of
// the end of the program. One per process, made after the application object.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signalNumber);

private:
    void readSignals();

    QSocketNotifier *m_notifier = nullptr;
};
