#pragma once

#include <QLabel>
#include <QString>

// Fills the terminal's pane while no device is connected: says what the terminal waits for, or,
// when a device was found but cannot be opened, why and what to do. It takes the view's place
// whenever the view is hidden.
class WaitingScreen : public QLabel
{
    Q_OBJECT

public:
    // view is the widget whose place it takes; both share parent's layout.
    WaitingScreen(QWidget *view, QWidget *parent);

    // Why the last open failed ("port: cause"), empty when none did.
    void setOpenFailure(const QString &failure);

    // The text for a given open failure.
    static QString text(const QString &openFailure);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_view;
};
