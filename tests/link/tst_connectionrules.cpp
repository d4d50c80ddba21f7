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
    const auto nothing = ConnectionVerdict::Nothing;
    const auto disconnect = ConnectionVerdict::Disconnect;
    const QStringList none;
    const QStringList acm0{"ttyACM0"};
    const QStringList acm1{"ttyACM1"};
    const QStringList both{"ttyACM1", "ttyACM0"};
    const QString noChannel;
    const QString open0 = "ttyACM0";

    QTest::newRow("absent, none listed: quiet")
        << absent << tick << none << noChannel << nothing << absent;
    QTest::newRow("absent, one listed: open")
        << absent << tick << acm0 << noChannel << ConnectionVerdict::Open << found;
    QTest::newRow("absent, two listed: open")
        << absent << tick << both << noChannel << ConnectionVerdict::Open << found;
    QTest::newRow("open failed: report, retry next tick")
        << found << ConnectionEvent::OpenFailed << acm0 << noChannel
        << ConnectionVerdict::ReportNotFound << absent;
    QTest::newRow("found, own port listed: stay")
        << found << tick << acm0 << open0 << nothing << found;
    QTest::newRow("found, own among others: stay")
        << found << tick << both << open0 << nothing << found;
    QTest::newRow("found, none listed: disconnect")
        << found << tick << none << open0 << disconnect << absent;
    QTest::newRow("found, only another listed: disconnect, it opens next tick")
        << found << tick << acm1 << open0 << disconnect << absent;
    QTest::newRow("found, own name in other case: disconnect")
        << found << tick << QStringList{"TTYACM0"} << open0 << disconnect << absent;
    QTest::newRow("port lost, still listed: disconnect, reopen next tick")
        << found << ConnectionEvent::PortLost << acm0 << open0 << disconnect << absent;
    // Reached only after the window has closed, which disconnects outside the ticks.
    QTest::newRow("found, no channel, none listed: disconnect")
        << found << tick << none << noChannel << disconnect << absent;
    QTest::newRow("found, no channel, one listed: stay")
        << found << tick << acm0 << noChannel << nothing << found;
}

void ConnectionRulesTest::decides()
{
    QFETCH(DeviceState, before);
    QFETCH(ConnectionEvent, event);
    QFETCH(QStringList, listed);
    QFETCH(QString, openPort);

    const ConnectionStep step = decideConnection(event, listed, openPort, before);
    QTEST(step.verdict, "verdict");
    QTEST(step.deviceFoundBefore, "after");
}

QTEST_APPLESS_MAIN(ConnectionRulesTest)
#include "tst_connectionrules.moc"
