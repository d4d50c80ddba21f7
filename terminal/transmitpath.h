#pragma once

#include "fkeys/functionkey.h"

#include <QObject>
#include <QString>

class DeviceLink;

// Turns what the user types, pastes or binds to F1..F12 into sends on the device link: a key's
// text in one write, a paste or a function key's string one byte at a time with the write delay
// after each. There is no local echo and no key of the terminal's own.
class TransmitPath : public QObject
{
    Q_OBJECT

public:
    explicit TransmitPath(DeviceLink *link, QObject *parent = nullptr);

    FunctionKeyBindings bindings() const;
    void setBindings(const FunctionKeyBindings &bindings);

    // A key press or paste as the views report it: key is the Qt key code (Qt::Key_F35 for a
    // paste), text the key's text or the pasted text.
    void keyInput(int key, const QString &text);

private:
    void sendPaced(const QString &text);

    DeviceLink *m_link;
    FunctionKeyBindings m_bindings;
};
