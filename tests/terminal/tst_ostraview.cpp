#include "compat/qtcompat.h"
#include "terminal/ostraview.h"
#include "terminal/stylesheet.h"

#include "support/testenvironment.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

// The terminal text view: that it follows the newest text, that keys and pastes become keyInput
// and never edit the text, and its look. What received bytes show is tst_screendocument's.
class TestOstraView : public QObject
{
    Q_OBJECT

private slots:
    void followsNewestText();
    void keepsNewestLineInSightWhenShrunk();
    void keyPressIsReported_data();
    void keyPressIsReported();
    void tabKeepsFocus();
    void pasteIsOneKeyInput();
    void disabledViewIsSilent();
    void dropsDoNothing();
    void constructionLook();
    void setters();
    void showsTheFontItIsGiven();
    void invalidBackgroundShowsBlack();
    void backgroundInsideAWindow();
    void colourDialogs();
    void fontDialog();
};

namespace {

// What the view shows, everything received inserted.
QString shown(OstraView &view)
{
    view.showAllReceived();
    return view.screen().text();
}

} // namespace

void TestOstraView::followsNewestText()
{
    OstraView view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QByteArray text;
    for (int n = 0; n < 200; ++n)
        text += "line " + QByteArray::number(n) + "\n";
    view.displayBytes(text);
    QScrollBar *bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);

    const std::function<void()> steps[] = {
        [&] { view.displayBytes(QByteArray()); },
        [&] { view.displayBytes("more\n"); },
        [&] { QTest::keyClick(&view, Qt::Key_X); },
        [&] {
            QApplication::clipboard()->setText(QStringLiteral("pasted"));
            view.paste();
        },
    };
    for (const auto &step : steps) {
        bar->setValue(0);
        QTextCursor top(view.document());
        view.setTextCursor(top);
        step();
        // The newest line is in sight, at the bottom.
        QVERIFY(view.textCursor().atEnd());
        const QRect cursor = view.cursorRect();
        QVERIFY(cursor.top() >= 0);
        QVERIFY(cursor.bottom() < view.viewport()->height());
        QVERIFY(bar->value() > bar->maximum() - cursor.height());
    }
}

void TestOstraView::keepsNewestLineInSightWhenShrunk()
{
    OstraView view;
    view.resize(300, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QByteArray text;
    for (int n = 0; n < 100; ++n)
        text += "line " + QByteArray::number(n) + "\n";
    view.displayBytes(text + "prompt>");
    QScrollBar *bar = view.verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());

    // As when the hex pane opens below the text pane.
    view.resize(300, 150);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(view.cursorRect().bottom() < view.viewport()->height());

    // A user who scrolled up to read stays where they are.
    bar->setValue(0);
    view.resize(300, 120);
    QCOMPARE(bar->value(), 0);
}

// Counts the key presses that travel on from the view to its parent.
class KeyCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
};

void TestOstraView::keyPressIsReported_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::newRow("letter") << int(Qt::Key_A) << int(Qt::NoModifier) << "a";
    QTest::newRow("capital") << int(Qt::Key_A) << int(Qt::ShiftModifier) << "A";
    QTest::newRow("tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << "\t";
    QTest::newRow("shift tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << "";
    QTest::newRow("return") << int(Qt::Key_Return) << int(Qt::NoModifier) << "\r";
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << "\b";
    QTest::newRow("delete") << int(Qt::Key_Delete) << int(Qt::NoModifier) << "\x7f";
    QTest::newRow("arrow") << int(Qt::Key_Left) << int(Qt::NoModifier) << "";
    QTest::newRow("function key") << int(Qt::Key_F1) << int(Qt::NoModifier) << "";
    QTest::newRow("paste shortcut is a key")
        << int(Qt::Key_V) << int(Qt::ControlModifier) << "\x16";
    QTest::newRow("select all is a key") << int(Qt::Key_A) << int(Qt::ControlModifier) << "\x01";
    QTest::newRow("modifier alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << "";
}

void TestOstraView::keyPressIsReported()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    KeyCounter parent;
    auto view = new OstraView(&parent);
    (new QVBoxLayout(&parent))->addWidget(view);
    view->setEnabled(true);
    view->displayBytes("first\nsecond");
    QApplication::clipboard()->setText(QStringLiteral("clipboard"));
    QSignalSpy spy(view, &OstraView::keyInput);

    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QApplication::sendEvent(view, &press);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), key);
    QCOMPARE(spy.at(0).at(1).toString(), text);
    QVERIFY(press.isAccepted());
    QCOMPARE(parent.presses, 0);
    QCOMPARE(shown(*view), QStringLiteral("first\nsecond"));
    QVERIFY(view->textCursor().atEnd());
}

void TestOstraView::tabKeepsFocus()
{
    QWidget window;
    auto layout = new QVBoxLayout(&window);
    auto view = new OstraView;
    auto other = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(other);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QSignalSpy spy(view, &OstraView::keyInput);

    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);

    QVERIFY(view->hasFocus());
    // QTest presses Shift before the key; the view reports that too.
    for (int n = spy.count() - 1; n >= 0; --n) {
        if (spy.at(n).at(0).toInt() == Qt::Key_Shift)
            spy.removeAt(n);
    }
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).toInt(), int(Qt::Key_Tab));
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("\t"));
    QCOMPARE(spy.at(1).at(0).toInt(), int(Qt::Key_Tab));
    QCOMPARE(spy.at(2).at(0).toInt(), int(Qt::Key_Backtab));
    QCOMPARE(shown(*view), QString());
}

void TestOstraView::pasteIsOneKeyInput()
{
    DebugLog log;
    OstraView view;
    view.displayBytes("shown");
    QSignalSpy spy(&view, &OstraView::keyInput);
    auto data = new QMimeData;
    data->setText(QStringLiteral("line one\nline two\t\xe9"));
    data->setHtml(QStringLiteral("<b>rich</b>"));
    QApplication::clipboard()->setMimeData(data);

    view.paste();

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 0x01000052);
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("line one\nline two\t\xe9"));
    QCOMPARE(shown(view), QStringLiteral("shown"));
    QVERIFY(log.contains(QStringLiteral("line one")));
}

void TestOstraView::disabledViewIsSilent()
{
    QWidget window;
    auto view = new OstraView(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->setDisabled(true);
    QSignalSpy spy(view, &OstraView::keyInput);

    QTest::keyClick(view, Qt::Key_A);
    QTest::keyClick(view, Qt::Key_F1);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    view->paste();

    QCOMPARE(spy.count(), 0);
    view->setEnabled(true);
    QTest::keyClick(view, Qt::Key_A);
    QCOMPARE(spy.count(), 1);
}

void TestOstraView::dropsDoNothing()
{
    OstraView view;
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.displayBytes("before");
    QSignalSpy spy(&view, &OstraView::keyInput);
    QMimeData data;
    data.setText(QStringLiteral("dropped"));
    const QPoint point(20, 20);

    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QVERIFY(!move.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    QVERIFY(!drop.isAccepted());

    QCOMPARE(spy.count(), 0);
    QCOMPARE(shown(view), QStringLiteral("before"));
}

void TestOstraView::constructionLook()
{
    OstraView view;
    QCOMPARE(view.viewFont().family(), QStringLiteral("Courier New"));
    QCOMPARE(view.viewFont().pointSize(), 10);
    QCOMPARE(view.viewFont().weight(), QFont::Normal);
    QCOMPARE(view.viewFont().style(), QFont::StyleNormal);
    QCOMPARE(view.fontColor(), QColor(255, 255, 255));
    QCOMPARE(view.backColor(), QColor(43, 88, 65));
    QVERIFY(view.styleSheet().isEmpty());
    QCOMPARE(view.document()->maximumBlockCount(), 400);
    QVERIFY(!view.document()->isUndoRedoEnabled());
    QCOMPARE(view.focusPolicy(), Qt::StrongFocus);
    QCOMPARE(view.textInteractionFlags(), Qt::TextEditorInteraction);
}

void TestOstraView::setters()
{
    OstraView view;
    // The families named after the chosen one depend on the faces installed (a stand-in of equal
    // advance where the chosen family's is proportional); tst_stylesheet holds the sheet's text.
    const auto sheet = [](const QFont &font, const QColor &text, const QColor &back) {
        return viewStyleSheet(withFixedPitchFallback(font), text, back);
    };
    const QColor white(255, 255, 255);
    const QColor green(67, 136, 101);
    // The start-up order: each call rebuilds the sheet from all three values.
    QFont font(QStringLiteral("Courier New"), 10, QFont::Normal);
    view.setViewFont(font);
    QCOMPARE(view.styleSheet(), sheet(font, white, QColor(43, 88, 65)));
    view.setFontColor(QColor(QStringLiteral("#FFFFFF")));
    view.setBackColor(QColor(QStringLiteral("#438865")));
    const QString firstRun = sheet(font, white, green);
    QCOMPARE(view.styleSheet(), firstRun);

    // A colour that names nothing leaves everything as it was.
    view.setFontColor(QColor(QStringLiteral("not a colour")));
    QCOMPARE(view.fontColor(), white);
    QCOMPARE(view.styleSheet(), firstRun);

    // Each change keeps the other two values.
    QFont italic(QStringLiteral("Lucida Console"), 12, QFont::Normal, true);
    view.setViewFont(italic);
    view.setFontColor(Qt::black);
    QCOMPARE(view.styleSheet(), sheet(italic, Qt::black, green));
    QCOMPARE(view.viewFont(), italic);
    view.setBackColor(QColor(1, 2, 3));
    QCOMPARE(view.styleSheet(), sheet(italic, Qt::black, QColor(1, 2, 3)));
}

void TestOstraView::showsTheFontItIsGiven()
{
    // The font the view actually draws with is what the toolkit makes of the style sheet.
    OstraView view;
    view.show();
    // Weights on the stored scale, up to its heaviest.
    for (const int stored : {25, 50, 63, 75, 99}) {
        QFont chosen(QStringLiteral("DejaVu Sans Mono"), 13);
        QtCompat::setLegacyFontWeight(chosen, stored);
        chosen.setItalic(stored == 75);
        view.setViewFont(chosen);
        view.ensurePolished();
        QCOMPARE(view.font().weight(), chosen.weight());
        QCOMPARE(view.font().pointSize(), 13);
        QCOMPARE(view.font().italic(), stored == 75);
        QCOMPARE(view.document()->defaultFont().weight(), chosen.weight());
    }
    QVERIFY(view.font().weight() > QFont::Black);
}

void TestOstraView::invalidBackgroundShowsBlack()
{
    OstraView view;
    view.resize(200, 100);
    view.setViewFont(QFont(QStringLiteral("Courier New"), 10, QFont::Normal));
    view.setFontColor(Qt::white);
    view.setBackColor(QColor(QStringLiteral("#438865")));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QPoint inside(view.viewport()->width() - 5, view.viewport()->height() - 5);
    QCOMPARE(view.viewport()->grab().toImage().pixelColor(inside), QColor(0x43, 0x88, 0x65));

    view.setBackColor(QColor(QStringLiteral("#43886")));
    QVERIFY(!view.backColor().isValid());
    QVERIFY(view.styleSheet().endsWith(QStringLiteral("background-color:rgb(0,0,0); }")));
    QCOMPARE(view.viewport()->grab().toImage().pixelColor(inside), QColor(Qt::black));
}

void TestOstraView::backgroundInsideAWindow()
{
    // The viewport paints the background itself; inside a real window, under a group box, the
    // empty part of the view must still show exactly the chosen colour, and the text its own.
    QWidget window;
    auto layout = new QVBoxLayout(&window);
    auto view = new OstraView;
    layout->addWidget(view);
    view->setViewFont(QFont(QStringLiteral("Courier New"), 20, QFont::Bold));
    view->setFontColor(QColor(255, 255, 0));
    view->setBackColor(QColor(10, 20, 200));
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->displayBytes("MMMM\r\nMMMM");
    QTRY_VERIFY(view->viewport()->updatesEnabled());

    const QImage image = window.grab().toImage();
    const QPoint corner = view->viewport()->mapTo(&window, view->viewport()->rect().bottomRight());
    QCOMPARE(image.pixelColor(corner - QPoint(3, 3)), QColor(10, 20, 200));
    // Somewhere in the first line the text colour shows.
    const QRect firstLine = view->cursorRect(QTextCursor(view->document()));
    bool textShown = false;
    for (int x = 0; x < 200 && !textShown; ++x) {
        for (int y = firstLine.top(); y <= firstLine.bottom() && !textShown; ++y) {
            const QPoint point = view->viewport()->mapTo(&window, QPoint(x, y));
            textShown = image.pixelColor(point) == QColor(255, 255, 0);
        }
    }
    QVERIFY(textShown);
}

void TestOstraView::colourDialogs()
{
    OstraView view;
    view.setViewFont(QFont(QStringLiteral("Courier New"), 10, QFont::Normal));
    view.setFontColor(QColor(10, 20, 30));
    view.setBackColor(QColor(40, 50, 60));
    const QString before = view.styleSheet();

    // Cancelled: nothing changes.
    QString title;
    QColor offered;
    whenDialogOpens<QColorDialog>([&](QColorDialog *dialog) {
        title = dialog->windowTitle();
        offered = dialog->currentColor();
        dialog->setCurrentColor(Qt::red);
        dialog->reject();
    });
    QVERIFY(QMetaObject::invokeMethod(&view, "changeFontColor"));
    QCOMPARE(title, QStringLiteral("Font color"));
    QCOMPARE(offered, QColor(10, 20, 30));
    QCOMPARE(view.styleSheet(), before);

    // Confirmed unchanged: the same sheet again.
    whenDialogOpens<QColorDialog>([](QColorDialog *dialog) { dialog->accept(); });
    QVERIFY(QMetaObject::invokeMethod(&view, "changeFontColor"));
    QCOMPARE(view.styleSheet(), before);

    whenDialogOpens<QColorDialog>([&](QColorDialog *dialog) {
        title = dialog->windowTitle();
        offered = dialog->currentColor();
        dialog->setCurrentColor(QColor(200, 100, 50));
        dialog->accept();
    });
    QVERIFY(QMetaObject::invokeMethod(&view, "changeBackColor"));
    QCOMPARE(title, QStringLiteral("Background color"));
    QCOMPARE(offered, QColor(40, 50, 60));
    QCOMPARE(view.backColor(), QColor(200, 100, 50));
    QCOMPARE(view.fontColor(), QColor(10, 20, 30));
    QVERIFY(view.styleSheet().endsWith(
        QStringLiteral("color:rgb(10,20,30);background-color:rgb(200,100,50); }")));
}

void TestOstraView::fontDialog()
{
    OstraView view;
    const QFont initial(QStringLiteral("Courier New"), 11, QFont::Normal);
    view.setViewFont(initial);
    view.setFontColor(QColor(1, 2, 3));
    const QString before = view.styleSheet();

    whenDialogOpens<QFontDialog>([](QFontDialog *dialog) { dialog->reject(); });
    QVERIFY(QMetaObject::invokeMethod(&view, "changeFont"));
    QCOMPARE(view.styleSheet(), before);
    QCOMPARE(view.viewFont(), initial);

    QFont chosen;
    whenDialogOpens<QFontDialog>([&](QFontDialog *dialog) {
        chosen = dialog->currentFont();
        chosen.setPointSize(14);
        chosen.setWeight(QFont::Bold);
        dialog->setCurrentFont(chosen);
        chosen = dialog->currentFont();
        dialog->accept();
    });
    QVERIFY(QMetaObject::invokeMethod(&view, "changeFont"));
    QCOMPARE(view.viewFont(), chosen);
    QCOMPARE(view.viewFont().pointSize(), 14);
    QCOMPARE(view.fontColor(), QColor(1, 2, 3));
    QCOMPARE(view.styleSheet(), viewStyleSheet(chosen, QColor(1, 2, 3), QColor(43, 88, 65)));
}

QTEST_MAIN(TestOstraView)
#include "tst_ostraview.moc"
