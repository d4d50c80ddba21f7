#include "transmitpath.h"

#include "common/logging.h"
#include "link/devicelink.h"
#include "terminal/transmitencoding.h"

#include <QDebug>

namespace {

// The code the views give a paste; a keyboard's real F35 key is taken as a paste too.
constexpr int pasteKey = Qt::Key_F35;

} // namespace

TransmitPath::TransmitPath(DeviceLink *link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{}

FunctionKeyBindings TransmitPath::bindings() const
{
    return m_bindings;
}

void TransmitPath::setBindings(const FunctionKeyBindings &bindings)
{
    m_bindings = bindings;
}

void TransmitPath::keyInput(int key, const QString &text)
{
    if (key == pasteKey) {
        sendPaced(text);
        return;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        const FunctionKey entry = m_bindings.keys.value(key - Qt::Key_F1);
        if (entry.key == key) {
            qCDebug(lcTransmit, "keycode 0x%x delay %d", unsigned(key), m_bindings.delay);
            sendPaced(entry.text);
            return;
        }
    }
    // A key with no text (arrows, modifiers, F13 and up) sends nothing.
    if (!text.isEmpty())
        m_link->sendTyped(typedBytes(text));
}

void TransmitPath::sendPaced(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar unit : text)
        bytes.append(pacedByte(unit));
    m_link->sendPaced(bytes, m_bindings.delay);
}
