#include "programtitle.h"

const QString &programTitle()
{
    static const QString title = QStringLiteral("Tarquel's Terminal V3.00");
    return title;
}
