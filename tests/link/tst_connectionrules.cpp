// The connection supervision's rules without a window: one row per transition, named by what
// the last tick saw, what happened, and what is listed.

#include "link/connectionrules.h"

#include <QtTest>

Q_DECLARE_METATYPE(ConnectionEvent)
Q_DECLARE_METATYPE(DeviceState)
Q_DECLARE_METATYPE(ConnectionVerdict)

// Names in failure messages.
char *toString(ConnectionVerdict verdict)
{
    static const char *const names[] = {"Nothing", "Open", "ReportNotFound", "Disconnect"};
    return qstrdup(names[int(verdict)]);
}

char *toString(DeviceState state)
{
    return qstrdup(state == DeviceState::Found ? "Found" : "Absent");
}

// Tests of decideConnection(), the rule table behind checkConnection().
class ConnectionRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void decides_data();
    void decides();
};

void ConnectionRulesTest::decides_data()
{
    QTest::addColumn<DeviceState>("before");
    QTest::addColumn<ConnectionEvent>("event");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("openPort");
    QTest::addColumn<ConnectionVerdict>("verdict");
    QTest::addColumn<DeviceState>("after");

    const auto absent = DeviceState::Absent;
    const auto found = DeviceState::Found;
    const auto tick = ConnectionEvent::Tick;
    const QStringList none;
    const QStringList acm0{"ttyACM0"};
    const QStringList both{"ttyACM1", "ttyACM0"};
    const QString noChannel;
    const QString open0 = "ttyACM0";

    QTest::newRow("absent, nothing listed: stays quiet")
        << absent << tick << none << noChannel << ConnectionVerdict::Nothing << absent;
    QTest::newRow("absent, a device listed: opens it")
        << absent << tick << acm0 << noChannel << ConnectionVerdict::Open << found;
    QTest::newRow("absent, two listed: opens")
        << absent << tick << both << noChannel << ConnectionVerdict::Open << found;
    QTest::newRow("opening fails: reports, tried again at the next tick")
        << found << ConnectionEvent::OpenFailed << acm0 << noChannel
        << ConnectionVerdict::ReportNotFound << absent;
    QTest::newRow("found, its port listed: stays")
        << found << tick << acm0 << open0 << ConnectionVerdict::Nothing << found;
    QTest::newRow("found, its port listed among others: stays")
        << found << tick << both << open0 << ConnectionVerdict::Nothing << found;
    QTest::newRow("found, nothing listed: disconnects")
        << found << tick << none << open0 << ConnectionVerdict::Disconnect << absent;
    QTest::newRow("found, only another port listed: disconnects, the other opens next tick")
        << found << tick << QStringList{"ttyACM1"} << open0 << ConnectionVerdict::Disconnect
        << absent;
    QTest::newRow("found, its name listed in other case: disconnects")
        << found << tick << QStringList{"TTYACM0"} << open0 << ConnectionVerdict::Disconnect
        << absent;
    QTest::newRow("port lost, still listed: disconnects, reopened next tick")
        << found << ConnectionEvent::PortLost << acm0 << open0 << ConnectionVerdict::Disconnect
        << absent;
    // Reached only when the window closes, which disconnects outside the ticks.
    QTest::newRow("found without a channel, nothing listed: disconnects")
        << found << tick << none << noChannel << ConnectionVerdict::Disconnect << absent;
    QTest::newRow("found without a channel, a device listed: stays")
        << found << tick << acm0 << noChannel << ConnectionVerdict::Nothing << found;
}

void ConnectionRulesTest::decides()
{
    QFETCH(DeviceState, before);
    QFETCH(ConnectionEvent, event);
    QFETCH(QStringList, listed);
    QFETCH(QString, openPort);

    const ConnectionStep step = decideConnection({event, listed, openPort, before});
    QTEST(step.verdict, "verdict");
    QTEST(step.deviceFoundBefore, "after");
}

QTEST_APPLESS_MAIN(ConnectionRulesTest)
#include "tst_connectionrules.moc"
