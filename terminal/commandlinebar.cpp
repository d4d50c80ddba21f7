#include "commandlinebar.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// The colour of a line that was not sent.
const QColor wrongColor(0xd0, 0x20, 0x20);

} // namespace

CommandLineBar::CommandLineBar(QWidget *parent)
    : QWidget(parent)
    , m_line(new QLineEdit(this))
    , m_lineEnd(new QComboBox(this))
    , m_mode(new QComboBox(this))
{
    setObjectName(QStringLiteral("commandLineBar"));
    m_line->setObjectName(QStringLiteral("commandLine"));
    m_lineEnd->setObjectName(QStringLiteral("commandLineEnd"));
    m_mode->setObjectName(QStringLiteral("commandMode"));
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_line, 1);
    layout->addWidget(m_lineEnd);
    layout->addWidget(m_mode);

    m_lineEnd->addItem(tr("None"), int(CommandLine::LineEnd::None));
    m_lineEnd->addItem(tr("CR"), int(CommandLine::LineEnd::Cr));
    m_lineEnd->addItem(tr("LF"), int(CommandLine::LineEnd::Lf));
    m_lineEnd->addItem(tr("CR LF"), int(CommandLine::LineEnd::CrLf));
    m_lineEnd->setToolTip(tr("What Enter sends after a line of text"));
    m_mode->addItem(tr("Text"), int(CommandLine::Mode::Text));
    m_mode->addItem(tr("Hex"), int(CommandLine::Mode::Hex));
    m_mode->setToolTip(tr("Text: the line as Latin-1 characters. Hex: exact bytes, such as "
                          "41 54 0D, with no line end"));
    setLineEnd(CommandLine::LineEnd::Cr);
    setFocusProxy(m_line);
    m_line->installEventFilter(this);

    connect(m_line, &QLineEdit::returnPressed, this, &CommandLineBar::enter);
    connect(m_line, &QLineEdit::textEdited, this, &CommandLineBar::clearMark);
    connect(m_mode, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CommandLineBar::updateForMode);
    updateForMode();
}

CommandLine::Mode CommandLineBar::mode() const
{
    return CommandLine::Mode(m_mode->currentData().toInt());
}

void CommandLineBar::setMode(CommandLine::Mode mode)
{
    m_mode->setCurrentIndex(m_mode->findData(int(mode)));
}

CommandLine::LineEnd CommandLineBar::lineEnd() const
{
    return CommandLine::LineEnd(m_lineEnd->currentData().toInt());
}

void CommandLineBar::setLineEnd(CommandLine::LineEnd lineEnd)
{
    m_lineEnd->setCurrentIndex(m_lineEnd->findData(int(lineEnd)));
}

QStringList CommandLineBar::history() const
{
    return m_rules.history();
}

void CommandLineBar::setHistory(const QStringList &lines)
{
    m_rules.setHistory(lines);
}

void CommandLineBar::setDeviceConnected(bool connected)
{
    m_deviceConnected = connected;
}

bool CommandLineBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_line && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
            emit functionKeyPressed(key);
            return true;
        }
        switch (key) {
        case Qt::Key_Up:
            showRecalled(m_rules.older(m_line->text()));
            return true;
        case Qt::Key_Down:
            showRecalled(m_rules.newer(m_line->text()));
            return true;
        case Qt::Key_Escape:
            m_rules.restartWalk();
            showRecalled(QString());
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CommandLineBar::enter()
{
    const QString line = m_line->text();
    const CommandLine::Command command = CommandLine::command(line, mode(), lineEnd());
    if (!command.problem.isEmpty()) {
        markWrong(command);
        emit statusMessage(command.problem);
        return;
    }
    // Kept as it is, to be sent once the device is back.
    if (!m_deviceConnected) {
        emit statusMessage(tr("Not sent: no Tarquel device is connected."));
        return;
    }
    if (!command.bytes.isEmpty())
        emit commandEntered(command.bytes);
    m_rules.remember(line);
    m_line->clear();
}

void CommandLineBar::showRecalled(const QString &line)
{
    m_line->setText(line);
    clearMark();
}

void CommandLineBar::markWrong(const CommandLine::Command &command)
{
    QPalette palette = m_line->palette();
    palette.setColor(QPalette::Text, wrongColor);
    m_line->setPalette(palette);
    m_line->setToolTip(command.hint);
    m_line->setCursorPosition(command.position);
}

void CommandLineBar::clearMark()
{
    m_line->setPalette(QPalette());
    m_line->setToolTip(QString());
}

void CommandLineBar::updateForMode()
{
    const bool hex = mode() == CommandLine::Mode::Hex;
    // Hex bytes go exactly as written.
    m_lineEnd->setEnabled(!hex);
    m_line->setPlaceholderText(hex ? tr("Hex bytes, such as 41 54 0D; Enter sends them")
                                   : tr("A command; Enter sends it, Up and Down recall"));
    clearMark();
}
