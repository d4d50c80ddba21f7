#include "functionkey.h"

QList<FunctionKey> emptyFunctionKeys()
{
    QList<FunctionKey> keys;
    for (int i = 0; i < functionKeyCount; ++i)
        keys.append({Qt::Key_F1 + i, QString()});
    return keys;
}

QList<FunctionKey> buildFunctionKeys(const QStringList &texts, const QList<bool> &lineFeeds)
{
    QList<FunctionKey> keys;
    for (int i = 0; i < functionKeyCount; ++i) {
        QString text = texts.value(i);
        if (lineFeeds.value(i, false))
            text += QStringLiteral("\r\n");
        keys.append({Qt::Key_F1 + i, text});
    }
    return keys;
}

int parseDelay(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}
