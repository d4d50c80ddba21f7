// The main window's transmit path: keys, pastes and function-key strings go to the device.

#include "app/constants.h"
#include "app/logging.h"
#include "app/vantorterm.h"
#include "link/pacedsender.h"
#include "link/serialport.h"
#include "terminal/txencoding.h"
#include "ui_vantorterm.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

namespace {

// The code the text view gives a paste; a keyboard's real F35 key is taken as a paste too.
constexpr int pasteKey = Qt::Key_F35;

} // namespace

void VantorTerm::setUpTransmit()
{
    m_sender = new PacedSender(this);
    connect(m_sender, &PacedSender::writeFailed, this, &VantorTerm::reportWriteFailure);

    // A send that lasts tells how far it has got and can be stopped; it sits beside the status
    // messages, which stay for the connection.
    m_sendProgress = new QWidget(this);
    m_sendProgress->setObjectName(QStringLiteral("sendProgress"));
    auto layout = new QHBoxLayout(m_sendProgress);
    layout->setContentsMargins(0, 0, 0, 0);
    auto label = new QLabel(m_sendProgress);
    layout->addWidget(label);
    auto stop = new QToolButton(m_sendProgress);
    stop->setObjectName(QStringLiteral("stopSending"));
    stop->setText(tr("Stop"));
    layout->addWidget(stop);
    statusBar()->addPermanentWidget(m_sendProgress);
    m_sendProgress->hide();

    // Stopping drops the rest of the send and any keys queued behind it; so does Clear Screen.
    connect(stop, &QToolButton::clicked, m_sender, &PacedSender::stop);
    connect(m_ui->action_Clear_Screen, &QAction::triggered, m_sender, &PacedSender::stop);
    connect(m_sender, &PacedSender::progress, this, [this, label](qint64 sent, qint64 total) {
        label->setText(tr("sent %1 of %2 bytes").arg(sent).arg(total));
        m_sendProgress->show();
    });
    connect(m_sender, &PacedSender::finished, m_sendProgress, &QWidget::hide);
}

void VantorTerm::reportWriteFailure()
{
    showStatus(tr(Constants::writeFailedStatus));
}

void VantorTerm::keyInput(int key, const QString &text)
{
    if (key == pasteKey) {
        sendPaced(text);
        return;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        const FunctionKey entry = m_functionKeys.value(key - Qt::Key_F1);
        if (entry.key == key) {
            qCDebug(lcTransmit, "keycode 0x%x delay %d", unsigned(key), m_delay);
            sendPaced(entry.text);
            return;
        }
    }
    // No local echo and no key of our own: a key with no text (arrows, modifiers, F13 and up)
    // sends nothing.
    if (text.isEmpty())
        return;
    if (!serialPort)
        reportWriteFailure();
    else
        m_sender->sendTyped(typedBytes(text));
}

void VantorTerm::sendPaced(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar unit : text)
        bytes.append(pacedByte(unit));
    m_sender->sendPaced(bytes, m_delay);
}
