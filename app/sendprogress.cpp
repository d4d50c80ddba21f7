#include "sendprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

SendProgress::SendProgress(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("sendProgress"));
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    auto stop = new QToolButton(this);
    stop->setObjectName(QStringLiteral("stopSending"));
    stop->setText(tr("Stop"));
    layout->addWidget(stop);
    connect(stop, &QToolButton::clicked, this, &SendProgress::stopClicked);
    hide();
}

void SendProgress::showProgress(qint64 sent, qint64 total)
{
    // A file read to its end has no total until it is read.
    m_label->setText(total < 0 ? tr("sent %1 bytes").arg(sent)
                               : tr("sent %1 of %2 bytes").arg(sent).arg(total));
    show();
}
