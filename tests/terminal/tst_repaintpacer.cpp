#include "terminal/repaintpacer.h"

#include <QPaintEvent>
#include <QtTest>

// Holding back the repaints of a widget that changes faster than it is worth drawing.
class TestRepaintPacer : public QObject
{
    Q_OBJECT

private slots:
    void firstChangeIsDrawnAtOnce();
    void changeRightAfterAPaintIsHeld();
    void heldChangeIsDrawnLater();
};

namespace {

// Counts its paints.
class Canvas : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

void TestRepaintPacer::firstChangeIsDrawnAtOnce()
{
    Canvas canvas;
    RepaintPacer pacer({&canvas}, 3600 * 1000);
    pacer.contentChanging();
    QVERIFY(!pacer.isHolding());
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    QTRY_VERIFY(canvas.paints > 0);
}

void TestRepaintPacer::changeRightAfterAPaintIsHeld()
{
    Canvas canvas;
    // An hour: whatever this machine's pace, the next change comes within it.
    RepaintPacer pacer({&canvas}, 3600 * 1000);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    canvas.repaint();
    const int paints = canvas.paints;

    pacer.contentChanging();
    QVERIFY(pacer.isHolding());
    QVERIFY(!canvas.updatesEnabled());
    canvas.update();
    QCoreApplication::processEvents();
    QCOMPARE(canvas.paints, paints);
    // A second change while held changes nothing about the hold.
    pacer.contentChanging();
    QVERIFY(pacer.isHolding());
}

void TestRepaintPacer::heldChangeIsDrawnLater()
{
    Canvas canvas;
    RepaintPacer pacer({&canvas}, 50);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    canvas.repaint();
    const int paints = canvas.paints;
    pacer.contentChanging();
    canvas.update();
    // Held or not (a slow machine may already be past the interval), the change gets drawn.
    QTRY_VERIFY(canvas.paints > paints);
    QTRY_VERIFY(canvas.updatesEnabled());
    QVERIFY(!pacer.isHolding());
}

QTEST_MAIN(TestRepaintPacer)
#include "tst_repaintpacer.moc"
