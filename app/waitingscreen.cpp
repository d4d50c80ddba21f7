#include "waitingscreen.h"

#include <QEvent>

#include <cerrno>

WaitingScreen::WaitingScreen(QWidget *view, QWidget *parent)
    : QLabel(parent)
    , m_view(view)
{
    setObjectName(QStringLiteral("waitingScreen"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setTextFormat(Qt::RichText);
    setMargin(24);
    setOpenFailure(QString());
    view->installEventFilter(this);
}

void WaitingScreen::setOpenFailure(const QString &failure)
{
    setText(text(failure));
}

QString WaitingScreen::text(const QString &openFailure)
{
    if (openFailure.isEmpty()) {
        return tr("<h2>Waiting for a Tarquel device</h2>"
                  "<p>Connect a Tarquel device (USB 04D8:000A or 00DF).<br>"
                  "The terminal looks for it once a second and opens it by itself.</p>");
    }
    QString text = tr("<h2>A Tarquel device was found but cannot be opened</h2>")
                   + QStringLiteral("<p>") + openFailure.toHtmlEscaped() + QStringLiteral("</p>");
    if (openFailure.contains(qt_error_string(EACCES))) {
        text += tr("<p>This user may not use the port. Install the udev rule that comes with "
                   "the terminal, or join the dialout group and log in again: see "
                   "\"Access to the device\" in the README.</p>");
    }
    return text + tr("<p>The terminal tries again once a second.</p>");
}

bool WaitingScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view
        && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        setVisible(m_view->isHidden());
    return QLabel::eventFilter(watched, event);
}
