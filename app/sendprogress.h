#pragma once

#include <QWidget>

class QLabel;

// "sent N of M bytes" and a Stop button, shown in the status bar while a long send goes out,
// beside the status messages, which stay for the connection.
class SendProgress : public QWidget
{
    Q_OBJECT

public:
    explicit SendProgress(QWidget *parent = nullptr);

    // Shows how far the send has got; total is negative while it is not known.
    void showProgress(qint64 sent, qint64 total);

signals:
    void stopClicked();

private:
    QLabel *m_label;
};
