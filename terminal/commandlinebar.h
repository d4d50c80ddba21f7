#pragma once

#include "terminal/commandline.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

// The command line under the terminal view: a line the user composes and sends with Enter, with
// the line end that follows it and whether it is text or hex bytes beside it. Up and Down recall
// the lines sent, Escape empties it. It hands what to send on by a signal and says by another
// why a line was not sent; it never writes into the view.
class CommandLineBar : public QWidget
{
    Q_OBJECT

public:
    explicit CommandLineBar(QWidget *parent = nullptr);

    CommandLine::Mode mode() const;
    void setMode(CommandLine::Mode mode);
    CommandLine::LineEnd lineEnd() const;
    void setLineEnd(CommandLine::LineEnd lineEnd);
    QStringList history() const;
    void setHistory(const QStringList &lines);
    // While no device is connected the line can be edited, but Enter sends nothing and says so.
    void setDeviceConnected(bool connected);

signals:
    // The bytes of a line the user entered, line end included.
    void commandEntered(const QByteArray &bytes);
    // Why a line was not sent.
    void statusMessage(const QString &text);
    // F1 to F12 pressed in the line, which sends their bindings as from the view.
    void functionKeyPressed(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void enter();
    void showRecalled(const QString &line);
    // Marks the line as not sent: its text colour, and a tool tip on the first wrong character.
    void markWrong(const CommandLine::Command &command);
    void clearMark();
    void updateForMode();

    QLineEdit *m_line;
    QComboBox *m_lineEnd;
    QComboBox *m_mode;
    CommandLine m_rules;
    bool m_deviceConnected = false;
};
