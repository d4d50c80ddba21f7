#include "commandline.h"

#include <algorithm>

namespace {

bool isBlank(QChar character)
{
    return character == QLatin1Char(' ') || character == QLatin1Char('\t');
}

int hexValue(QChar character)
{
    const ushort unit = character.unicode();
    if (unit >= '0' && unit <= '9')
        return unit - '0';
    if (unit >= 'a' && unit <= 'f')
        return unit - 'a' + 10;
    if (unit >= 'A' && unit <= 'F')
        return unit - 'A' + 10;
    return -1;
}

QByteArray lineEndBytes(CommandLine::LineEnd lineEnd)
{
    switch (lineEnd) {
    case CommandLine::LineEnd::None:
        break;
    case CommandLine::LineEnd::Cr:
        return QByteArrayLiteral("\r");
    case CommandLine::LineEnd::Lf:
        return QByteArrayLiteral("\n");
    case CommandLine::LineEnd::CrLf:
        return QByteArrayLiteral("\r\n");
    }
    return QByteArray();
}

} // namespace

CommandLine::Command CommandLine::command(const QString &line, Mode mode, LineEnd lineEnd)
{
    Command command;
    if (mode == Mode::Text) {
        for (int i = 0; i < line.size(); ++i) {
            uint code = line.at(i).unicode();
            if (line.at(i).isHighSurrogate() && i + 1 < line.size()
                && line.at(i + 1).isLowSurrogate())
                code = QChar::surrogateToUcs4(line.at(i), line.at(i + 1));
            if (code <= 0xFF)
                continue;
            // Sent as some other byte, it would say something the user did not write.
            const QString character = line.mid(i, code > 0xFFFF ? 2 : 1);
            const QString name
                = QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
            const QString number = QString::number(i + 1);
            command.position = i;
            command.problem = tr("Not sent: \"%1\" (%2, character %3) is not a Latin-1 character")
                                  .arg(character, name, number);
            command.hint
                = tr("Character %1, \"%2\" (%3), has no Latin-1 byte").arg(number, character, name);
            return command;
        }
        command.bytes = line.toLatin1() + lineEndBytes(lineEnd);
        return command;
    }

    for (int i = 0; i < line.size();) {
        if (isBlank(line.at(i))) {
            ++i;
            continue;
        }
        const int high = hexValue(line.at(i));
        const int low = i + 1 < line.size() ? hexValue(line.at(i + 1)) : -1;
        if (high >= 0 && low >= 0) {
            command.bytes.append(char(high * 16 + low));
            i += 2;
            continue;
        }
        // The byte as the user wrote it: up to two characters, cut at a blank.
        const QString written = line.mid(i, 2).trimmed().section(QLatin1Char(' '), 0, 0);
        command.bytes.clear();
        command.problem = tr("Not sent: \"%1\" at character %2 is not a hex byte")
                              .arg(written, QString::number(i + 1));
        if (high < 0 || (i + 1 < line.size() && !isBlank(line.at(i + 1)))) {
            command.position = high < 0 ? i : i + 1;
            command.hint = tr("Character %1, \"%2\", is not a hex digit (0-9, A-F)")
                               .arg(QString::number(command.position + 1),
                                    QString(line.at(command.position)));
        } else {
            command.position = i;
            command.hint
                = tr("Character %1, \"%2\", is half a byte: a hex byte is two digits, such as 0D")
                      .arg(QString::number(i + 1), QString(line.at(i)));
        }
        return command;
    }
    return command;
}

QStringList CommandLine::history() const
{
    return m_history;
}

void CommandLine::setHistory(const QStringList &lines)
{
    m_history = lines.mid(std::max(0, int(lines.size()) - historyLimit));
    restartWalk();
}

void CommandLine::remember(const QString &line)
{
    if (!line.isEmpty() && (m_history.isEmpty() || m_history.last() != line)) {
        m_history.append(line);
        if (m_history.size() > historyLimit)
            m_history.removeFirst();
    }
    restartWalk();
}

QString CommandLine::older(const QString &shown)
{
    if (m_history.isEmpty())
        return shown;
    if (m_walk == m_history.size())
        m_draft = shown;
    m_walk = std::max(m_walk - 1, 0);
    return m_history.at(m_walk);
}

QString CommandLine::newer(const QString &shown)
{
    if (m_walk >= m_history.size())
        return shown;
    ++m_walk;
    return m_walk == m_history.size() ? m_draft : m_history.at(m_walk);
}

void CommandLine::restartWalk()
{
    m_walk = m_history.size();
    m_draft.clear();
}
