#include "transmitpath.h"

#include "common/logging.h"
#include "terminal/transmitencoding.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

// The code the views give a paste; a keyboard's real F35 key is taken as a paste too.
constexpr int pasteKey = Qt::Key_F35;

} // namespace

TransmitPath::TransmitPath(QObject *parent)
    : QObject(parent)
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
        emit typed(typedBytes(text));
}

void TransmitPath::sendCommand(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        emit paced(bytes, pace());
}

QString TransmitPath::sendFile(const QString &fileName)
{
    // A file is bytes: sent as they are, read a piece at a time as they go out. A device or a
    // FIFO has no end to send up to.
    const QFileInfo info(fileName);
    if (!info.exists())
        return qt_error_string(ENOENT);
    if (!info.isFile())
        return tr("not a regular file");
    auto file = std::make_shared<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return file->errorString();
    // As far as it is now: what is added while it goes out stays for the next send.
    emit fileOpened(file, file->size(), fileName, pace());
    return QString();
}

void TransmitPath::sendPaced(const QString &text)
{
    if (text.isEmpty())
        return;
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar unit : text)
        bytes.append(pacedByte(unit));
    emit paced(bytes, pace());
}

Pace TransmitPath::pace() const
{
    Pace pace;
    pace.delay = m_bindings.delay;
    pace.wholeDelay = m_bindings.paceWhole;
    pace.lineDelay = m_bindings.lineDelay;
    return pace;
}
