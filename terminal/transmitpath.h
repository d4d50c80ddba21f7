#pragma once

#include "common/pace.h"
#include "fkeys/functionkey.h"

#include <QObject>
#include <QString>

#include <memory>

class QIODevice;

// Turns what the user types, pastes, binds to F1..F12, enters on the command line or chooses to
// send as a file into bytes for the device, and hands them on by signals: a key's text in one
// write; a paste, a function key's string, a command or a file one byte at a time, paced as the
// bindings say (write delay, whole-delay pace, line delay). There is no
// local echo and no key of the terminal's own.
class TransmitPath : public QObject
{
    Q_OBJECT

public:
    explicit TransmitPath(QObject *parent = nullptr);

    FunctionKeyBindings bindings() const;
    void setBindings(const FunctionKeyBindings &bindings);

    // A key press or paste as the views report it: key is the Qt key code (Qt::Key_F35 for a
    // paste), text the key's text or the pasted text.
    void keyInput(int key, const QString &text);
    // A line from the command line, as its bytes: one byte at a time, paced like a paste.
    void sendCommand(const QByteArray &bytes);
    // Opens fileName and hands its bytes on, as they are, as far as the file is now; returns
    // why it cannot be sent, empty when it goes.
    QString sendFile(const QString &fileName);

signals:
    // A typed key's bytes, to go in one write with no wait.
    void typed(const QByteArray &bytes);
    // A string to go one byte at a time.
    void paced(const QByteArray &bytes, const Pace &pace);
    // The size bytes of file, called name, to go one byte at a time, read as they go.
    void fileOpened(const std::shared_ptr<QIODevice> &file, qint64 size, const QString &name,
                    const Pace &pace);

private:
    void sendPaced(const QString &text);
    Pace pace() const;

    FunctionKeyBindings m_bindings;
};
