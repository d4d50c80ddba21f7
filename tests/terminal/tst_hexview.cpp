#include "terminal/hexview.h"
#include "terminal/stylesheet.h"
#include "terminal/terminalconstants.h"

#include <QClipboard>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

// The hex view widget: the bytes it holds, the rows it lays out and paints, its scroll bars.
class TestHexView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void holdsWhatItIsGiven();
    void rowsLaidOut_data();
    void rowsLaidOut();
    void paintsOnlyRowsWithBytes();
    void scrollsToNewestRows();
    void newestRowsStayInSightWhenResized();
    void fontChangeRelaysRows();
    void selectedBytesAreDrawnAndCopied();
    void droppedBytesAreSaid();
    void wholeSessionAcrossCacheFile();

private:
    QFont m_font;
};

namespace {

// Rows of the viewport, top to bottom, that hold any pixel other than the background.
QList<bool> inkedRows(HexView &view, int lineHeight, int rows)
{
    const QImage image = view.viewport()->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    QList<bool> result;
    // Rows begin below a small margin; sample each row through its middle band.
    for (int row = 0; row < rows; ++row) {
        bool inked = false;
        const int top = 4 + row * lineHeight;
        for (int y = top + 1; y < top + lineHeight - 1 && y < image.height() && !inked; ++y)
            for (int x = 0; x < image.width() && !inked; ++x)
                inked = image.pixel(x, y) != background;
        result.append(inked);
    }
    return result;
}

// Makes the open file that was made in folder unreadable, as a failing disk would: it stays open
// for writing only.
bool breakFileIn(const QString &folder)
{
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString &name : descriptors.entryList(QDir::AllEntries | QDir::System)) {
        char target[4096] = {};
        const QByteArray link = QFile::encodeName(descriptors.filePath(name));
        if (::readlink(link.constData(), target, sizeof target - 1) <= 0
            || !QFile::decodeName(target).startsWith(folder + QLatin1Char('/')))
            continue;
        const int writeOnly = ::open("/dev/null", O_WRONLY);
        const bool replaced = ::dup2(writeOnly, name.toInt()) >= 0;
        ::close(writeOnly);
        return replaced;
    }
    return false;
}

} // namespace

void TestHexView::init()
{
    // Of equal advance whatever fontconfig's monospaced alias gives, so that the view draws the
    // face its font names.
    m_font = withFixedPitchFallback(QFont(QStringLiteral("Monospace"), 10));
}

void TestHexView::holdsWhatItIsGiven()
{
    HexView view;
    view.setReadOnly(true);
    QVERIFY(view.isReadOnly());
    QVERIFY(view.data().isEmpty());

    QByteArray all;
    for (int value = 0; value < 256; ++value)
        all.append(char(value));
    view.setData(all.left(100));
    view.appendData(all.mid(100, 6));
    view.appendData(QByteArray());
    view.appendData(all.mid(106));
    QCOMPARE(view.data(), all);

    // What data() handed out stays as it was when more arrives.
    const QByteArray before = view.data();
    view.appendData("\r\n");
    QCOMPARE(before, all);
    QCOMPARE(view.data(), all + "\r\n");

    view.setData(QByteArray("\0\r\b", 3));
    QCOMPARE(view.data(), QByteArray("\0\r\b", 3));
    view.setData(QByteArray());
    QVERIFY(view.data().isEmpty());
}

void TestHexView::rowsLaidOut_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("rows");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("one byte") << 1 << 1;
    QTest::newRow("one row") << 16 << 1;
    QTest::newRow("one past a row") << 17 << 2;
    QTest::newRow("many rows") << 16 * 1000 + 3 << 1001;
}

void TestHexView::rowsLaidOut()
{
    QFETCH(int, size);
    QFETCH(int, rows);
    HexView view;
    view.setFont(m_font);
    view.resize(700, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Appended in uneven batches, as the receive path does.
    for (int done = 0; done < size; done += 37)
        view.appendData(QByteArray(qMin(37, size - done), 'x'));
    QScrollBar *bar = view.verticalScrollBar();
    const int page = bar->pageStep();
    const int lineHeight = QFontMetrics(view.font()).lineSpacing();
    QCOMPARE(page, (view.viewport()->height() - 4) / lineHeight);
    QCOMPARE(bar->maximum(), qMax(0, rows - page));
    QCOMPARE(bar->minimum(), 0);
}

void TestHexView::paintsOnlyRowsWithBytes()
{
    HexView view;
    view.setFont(m_font);
    view.resize(700, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int lineHeight = QFontMetrics(view.font()).lineSpacing();

    QCOMPARE(inkedRows(view, lineHeight, 5), (QList<bool>{false, false, false, false, false}));
    view.setData(QByteArray(35, '\0'));
    QCOMPARE(inkedRows(view, lineHeight, 5), (QList<bool>{true, true, true, false, false}));
    view.appendData(QByteArray(13, 'A'));
    QCOMPARE(inkedRows(view, lineHeight, 5), (QList<bool>{true, true, true, false, false}));
    view.appendData("B");
    QCOMPARE(inkedRows(view, lineHeight, 5), (QList<bool>{true, true, true, true, false}));
    view.setData(QByteArray());
    QCOMPARE(inkedRows(view, lineHeight, 5), (QList<bool>{false, false, false, false, false}));
}

void TestHexView::scrollsToNewestRows()
{
    HexView view;
    view.setFont(m_font);
    view.resize(700, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int lineHeight = QFontMetrics(view.font()).lineSpacing();
    QScrollBar *bar = view.verticalScrollBar();
    const int page = bar->pageStep();

    // What the receive path does with each batch.
    for (int batch = 0; batch < 50; ++batch) {
        view.appendData(QByteArray(64, char(batch)));
        bar->setValue(bar->maximum());
    }
    QCOMPARE(bar->maximum(), 50 * 4 - page);
    QCOMPARE(bar->value(), bar->maximum());
    // The last row holds data and fills the page; nothing is painted below it.
    const QList<bool> rows = inkedRows(view, lineHeight, page + 1);
    QCOMPARE(rows.count(true), page);
    QCOMPARE(rows.last(), false);

    // Scrolled to the top, the first row shows offset 0 and the page is full.
    bar->setValue(0);
    QCOMPARE(inkedRows(view, lineHeight, page).count(true), page);
}

void TestHexView::newestRowsStayInSightWhenResized()
{
    // Filled while hidden at one size, then shown smaller, as the hex pane is when hex mode is
    // switched on after data has arrived.
    HexView view;
    view.setFont(m_font);
    view.resize(700, 400);
    view.setData(QByteArray(16 * 100, 'q'));
    QScrollBar *bar = view.verticalScrollBar();
    bar->setValue(bar->maximum());
    view.resize(700, 150);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(bar->value() + bar->pageStep(), 100);

    // Scrolled up by the user, a resize leaves the rows where they are.
    bar->setValue(10);
    view.resize(700, 120);
    QCOMPARE(bar->value(), 10);
}

void TestHexView::fontChangeRelaysRows()
{
    HexView view;
    view.setFont(m_font);
    view.resize(700, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setData(QByteArray(16 * 500, 'z'));
    const int pageBefore = view.verticalScrollBar()->pageStep();
    const int widthBefore = view.horizontalScrollBar()->maximum();

    QFont larger = m_font;
    larger.setPointSize(m_font.pointSize() * 2);
    view.setFont(larger);
    const int page = view.verticalScrollBar()->pageStep();
    QVERIFY(page < pageBefore);
    QCOMPARE(view.verticalScrollBar()->maximum(), 500 - page);
    // The rows are too wide now for 700 pixels.
    QVERIFY(view.horizontalScrollBar()->maximum() > widthBefore);
}

void TestHexView::selectedBytesAreDrawnAndCopied()
{
    HexView view;
    view.setFont(m_font);
    view.resize(700, 300);
    view.show();
    QApplication::setActiveWindow(&view);
    QVERIFY(QTest::qWaitForWindowActive(&view));
    view.setData("Hello, world; and more than one row of it");
    QSignalSpy keys(&view, &HexView::keyInput);

    // Cells are one digit wide in a fixed-pitch font; the offset takes eight and two blanks.
    const qreal width = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('0'));
    const int lineHeight = QFontMetrics(m_font).lineSpacing();
    const auto cellCentre = [&](int cell, int row) {
        return QPoint(4 + qRound((cell + 0.5) * width), 4 + row * lineHeight + lineHeight / 2);
    };
    const int hexOfH = 10;
    const int charOfFirstL = 60 + 2;

    // From the H in the hex column to the first l in the character column.
    QWidget *viewport = view.viewport();
    const QImage before = viewport->grab().toImage();
    QTest::mousePress(viewport, Qt::LeftButton, {}, cellCentre(hexOfH, 0));
    // QTest moves the pointer without the button held; a drag is sent as the event it is.
    const QPoint dragTo = cellCentre(charOfFirstL, 0);
    QMouseEvent drag(QEvent::MouseMove, dragTo, viewport->mapToGlobal(dragTo), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drag);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, cellCentre(charOfFirstL, 0));
    QCOMPARE(view.selectedBytes(), QByteArray("Hel"));
    const QImage after = viewport->grab().toImage();
    const QColor highlight = view.palette().color(QPalette::Highlight);
    const QPoint groundOfH(4 + qCeil(hexOfH * width) + 1, 4 + 1);
    QCOMPARE(after.pixelColor(groundOfH), highlight);
    QVERIFY(before.pixelColor(groundOfH) != highlight);
    // Under the characters too, however far along the row the font's widths have added up.
    QCOMPARE(after.pixelColor(4 + qRound(61.5 * width), 4 + 1), highlight);
    QVERIFY2(after.pixelColor(cellCentre(hexOfH + 9, 1)) != highlight, "second row unselected");

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("48 65 6c"));

    // Other keys are reported for the device, Tab too, and the focus stays. (Ctrl itself was
    // reported like any modifier, as the text view reports it.)
    keys.clear();
    QTest::keyClick(&view, Qt::Key_A);
    QTest::keyClick(&view, Qt::Key_Tab);
    QVERIFY(view.hasFocus());
    QCOMPARE(keys.count(), 2);
    QCOMPARE(keys.at(0), (QList<QVariant>{int(Qt::Key_A), QStringLiteral("a")}));
    QCOMPARE(keys.at(1).at(0).toInt(), int(Qt::Key_Tab));

    // The context menu's Copy does the same.
    QGuiApplication::clipboard()->clear();
    bool copyEnabled = false;
    QTimer::singleShot(0, [&] {
        auto menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions()) {
            if (action->shortcut() == QKeySequence(QKeySequence::Copy)) {
                copyEnabled = action->isEnabled();
                action->trigger();
            }
        }
        menu->close();
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, cellCentre(hexOfH, 0),
                                viewport->mapToGlobal(cellCentre(hexOfH, 0)));
    QApplication::sendEvent(viewport, &menuEvent);
    QVERIFY(copyEnabled);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("48 65 6c"));

    // A click without a drag selects nothing; Ctrl+C then goes to the device as well.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(hexOfH, 1));
    QVERIFY(view.selectedBytes().isEmpty());
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(keys.last().at(0).toInt(), int(Qt::Key_C));

    // A selection larger than the view copies as text copies nothing and says why, without
    // waiting for the user; one of just that size is copied.
    const qint64 limit = TerminalConstants::maximumHexCopyBytes;
    view.setData(QByteArray(int(limit) + 1, 'x'));
    QScrollBar *bar = view.verticalScrollBar();
    const auto selectToLastByte = [&](int fromCell) {
        bar->setValue(0);
        QTest::mousePress(viewport, Qt::LeftButton, {}, cellCentre(fromCell, 0));
        bar->setValue(bar->maximum());
        // At the bottom edge, scrolled to the end: the last row, in the first byte's column.
        const QPoint lastByte(cellCentre(hexOfH, 0).x(), viewport->height() - 1);
        QMouseEvent drag(QEvent::MouseMove, lastByte, viewport->mapToGlobal(lastByte), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drag);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, lastByte);
    };
    selectToLastByte(hexOfH);
    QCOMPARE(view.selectedBytes().size(), limit + 1);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QPointer<QMessageBox> box = view.findChild<QMessageBox *>();
    QVERIFY(box && box->isVisible());
    QVERIFY(box->text().contains(QLocale().toString(limit + 1)));
    box->accept();
    QTRY_VERIFY(!box);

    selectToLastByte(hexOfH + 3);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text().size(), 3 * limit - 1);
    QVERIFY(!view.findChild<QMessageBox *>());
}

void TestHexView::droppedBytesAreSaid()
{
    HexBuffer::Limits limits;
    limits.memoryAlone = 1024;
    HexView view(limits);
    view.setFont(m_font);
    view.resize(700, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int lineHeight = QFontMetrics(view.font()).lineSpacing();
    QScrollBar *bar = view.verticalScrollBar();
    QSignalSpy dropped(&view, &HexView::oldestBytesDropped);

    // Fed as the receive path feeds it, with no two bytes of a row alike; each time the bytes
    // held shrink, the signal says how many have gone in all.
    QList<qint64> drops;
    qint64 received = 0;
    for (int batch = 0; batch < 40; ++batch) {
        const qint64 goneBefore = received - view.data().size();
        QByteArray bytes(100, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((received + i) % 251);
        view.appendData(bytes);
        received += 100;
        const qint64 gone = received - view.data().size();
        if (gone != goneBefore)
            drops.append(gone);
        if (batch == 9) {
            QCOMPARE(dropped.count(), 0);
            QVERIFY(view.droppedNotice().isEmpty());
        }
    }
    QVERIFY(drops.size() > 1);
    QList<qint64> reported;
    for (const QList<QVariant> &arguments : dropped)
        reported.append(arguments.at(0).toLongLong());
    QCOMPARE(reported, drops);

    // A line above the first row says so: scrolled to the top, it is drawn, and the rows begin
    // below it.
    const QString notice = view.droppedNotice();
    QVERIFY(notice.contains(QLocale().formattedDataSize(drops.last(), 1)));
    const int rows = (view.data().size() + 15) / 16;
    const int page = bar->pageStep();
    QVERIFY(rows + 1 > page);
    QCOMPARE(bar->maximum(), rows + 1 - page);
    bar->setValue(0);
    QCOMPARE(inkedRows(view, lineHeight, 1), QList<bool>{true});
    const QPoint secondLine(4 + 2, 4 + lineHeight + lineHeight / 2);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, secondLine);
    QMouseEvent drag(QEvent::MouseMove, secondLine, view.viewport()->mapToGlobal(secondLine),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &drag);
    QCOMPARE(view.selectedBytes(), view.data().left(1));

    // Emptied, the view holds every byte again and the line goes.
    dropped.clear();
    view.setData(QByteArray(35, 'a'));
    QVERIFY(view.droppedNotice().isEmpty());
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(inkedRows(view, lineHeight, 4), (QList<bool>{true, true, true, false}));
    QCOMPARE(dropped.count(), 0);
}

void TestHexView::wholeSessionAcrossCacheFile()
{
    // The newest 1 KiB in memory, the rest in a cache file; beside it a view holding all of it in
    // memory.
    QTemporaryDir folder;
    HexBuffer::Limits limits;
    limits.memory = 1024;
    limits.keepFree = 0;
    limits.folder = folder.path();
    HexView view(limits);
    HexView inMemory;
    QByteArray all;
    for (int i = 0; i < 5000; ++i)
        all.append(char(i * 7 % 251));
    for (HexView *each : {&view, &inMemory}) {
        each->setFont(m_font);
        each->resize(700, 300);
        each->show();
        QVERIFY(QTest::qWaitForWindowExposed(each));
        for (int done = 0; done < all.size(); done += 100)
            each->appendReceived(all.mid(done, 100));
    }
    QCOMPARE(view.data(), all);
    QCOMPARE(view.dataSize(), qint64(all.size()));

    // The oldest rows, read back from the file, and the newest, as drawn from memory. The
    // scroll bars follow the received rows by the next frame.
    QScrollBar *bar = view.verticalScrollBar();
    QTRY_COMPARE(bar->maximum(), (all.size() + 15) / 16 - bar->pageStep());
    QTRY_COMPARE(inMemory.verticalScrollBar()->maximum(), bar->maximum());
    for (int value : {0, bar->maximum() / 2, bar->maximum()}) {
        bar->setValue(value);
        inMemory.verticalScrollBar()->setValue(value);
        QCOMPARE(view.viewport()->grab().toImage(), inMemory.viewport()->grab().toImage());
    }

    // Selected from the third byte of the first row to the last byte, which is in memory, and
    // copied.
    const qreal width = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('0'));
    const int lineHeight = QFontMetrics(m_font).lineSpacing();
    const int hexOfThird = 10 + 2 * 3;
    const QPoint third(4 + qRound((hexOfThird + 0.5) * width), 4 + lineHeight / 2);
    QWidget *viewport = view.viewport();
    bar->setValue(0);
    QTest::mousePress(viewport, Qt::LeftButton, {}, third);
    bar->setValue(bar->maximum());
    const QPoint lastByte(viewport->width() / 2, viewport->height() - 1);
    QMouseEvent drag(QEvent::MouseMove, lastByte, viewport->mapToGlobal(lastByte), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drag);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, lastByte);
    QCOMPARE(view.selectedBytes(), all.mid(2));
    QGuiApplication::clipboard()->clear();
    view.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(all.mid(2).toHex(' ')));

    // A file that can no longer be read: the copy says why instead of copying something else.
    QVERIFY(breakFileIn(folder.path()));
    QGuiApplication::clipboard()->clear();
    view.copy();
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QPointer<QMessageBox> box = view.findChild<QMessageBox *>();
    QVERIFY(box && box->isVisible());
    QVERIFY2(box->text().contains(QLatin1String("Bad file descriptor")), qPrintable(box->text()));
    box->accept();

    // Cleared as on a reconnect, the view starts over.
    view.setData(QByteArray());
    view.appendReceived("after");
    QCOMPARE(view.data(), QByteArray("after"));
}

QTEST_MAIN(TestHexView)
#include "tst_hexview.moc"
