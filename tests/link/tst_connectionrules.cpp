// The connection supervision's rules without a window: one row per transition. "closed" is a
// window without a channel; "open" one with a channel on ttyACM0.

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
    static const char *const names[] = {"Absent", "Found", "Unopenable"};
    return qstrdup(names[int(state)]);
}

// Tests of decideConnection(), the rule table behind checkConnection().
class TestConnectionRules : public QObject
{
    Q_OBJECT

private slots:
    void decides_data();
    void decides();
};

void TestConnectionRules::decides_data()
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
    const QStringList both{"ttyACM1", "ttyACM0"};
    const QString closed;
    const QString open = "ttyACM0";

    QTest::newRow("absent, none listed") << absent << tick << none << closed << nothing << absent;
    QTest::newRow("appears") << absent << tick << acm0 << closed << ConnectionVerdict::Open
                             << found;
    QTest::newRow("open fails: retried next tick")
        << found << ConnectionEvent::OpenFailed << acm0 << closed
        << ConnectionVerdict::ReportNotFound << DeviceState::Unopenable;
    QTest::newRow("unopenable: retried every tick")
        << DeviceState::Unopenable << tick << acm0 << closed << ConnectionVerdict::Open << found;
    QTest::newRow("unopenable, unplugged: its cause goes")
        << DeviceState::Unopenable << tick << none << closed << disconnect << absent;
    QTest::newRow("stays") << found << tick << acm0 << open << nothing << found;
    QTest::newRow("stays among others") << found << tick << both << open << nothing << found;
    QTest::newRow("goes") << found << tick << none << open << disconnect << absent;
    QTest::newRow("goes, another listed: opened next tick")
        << found << tick << QStringList{"ttyACM1"} << open << disconnect << absent;
    QTest::newRow("goes, listed in other case")
        << found << tick << QStringList{"TTYACM0"} << open << disconnect << absent;
    QTest::newRow("port lost, still listed: reopened next tick")
        << found << ConnectionEvent::PortLost << acm0 << open << disconnect << absent;
    // Reached only after the window has closed, which disconnects outside the ticks.
    QTest::newRow("after closing, none listed")
        << found << tick << none << closed << disconnect << absent;
    QTest::newRow("after closing, one listed")
        << found << tick << acm0 << closed << nothing << found;
}

void TestConnectionRules::decides()
{
    QFETCH(DeviceState, before);
    QFETCH(ConnectionEvent, event);
    QFETCH(QStringList, listed);
    QFETCH(QString, openPort);

    const ConnectionStep step = decideConnection(event, listed, openPort, before);
    QTEST(step.verdict, "verdict");
    QTEST(step.deviceFoundBefore, "after");
}

QTEST_APPLESS_MAIN(TestConnectionRules)
#include "tst_connectionrules.moc"
