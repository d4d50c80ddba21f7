#include "fkeys/functiondlg.h"

#include "support/testenvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(FunctionKeyBindings)

namespace {

// Bindings with F1's text and the three paces given, the other keys empty.
FunctionKeyBindings bindingsWith(const QString &f1, int delay, int lineDelay = 0,
                                 bool paceWhole = false)
{
    FunctionKeyBindings bindings;
    bindings.keys[0].text = f1;
    bindings.delay = delay;
    bindings.lineDelay = lineDelay;
    bindings.paceWhole = paceWhole;
    return bindings;
}

QPushButton *button(const FunctionDlg &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(which);
}

QPushButton *applyButton(const FunctionDlg &dialog)
{
    return dialog.findChild<QPushButton *>(QStringLiteral("btnApply"));
}

QSpinBox *lineDelayBox(const FunctionDlg &dialog)
{
    return dialog.findChild<QSpinBox *>(QStringLiteral("spinBox_lineDelay"));
}

QCheckBox *paceBox(const FunctionDlg &dialog)
{
    return dialog.findChild<QCheckBox *>(QStringLiteral("checkBox_pace"));
}

// What Apply hands over, after the user did what edit does.
template <typename Edit>
FunctionKeyBindings appliedAfter(FunctionDlg &dialog, Edit edit)
{
    QSignalSpy applied(&dialog, &FunctionDlg::applied);
    edit();
    QTest::mouseClick(applyButton(dialog), Qt::LeftButton);
    return applied.isEmpty() ? FunctionKeyBindings()
                             : applied.last().at(0).value<FunctionKeyBindings>();
}

} // namespace

// The function-key dialog alone: the bindings it is given in, what the user sees and edits, and
// the bindings Apply hands out. How the window opens, reopens and lets go of it is the window's
// story.
class TestFunctionDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<FunctionKeyBindings>(); }

    void formAsTheUserSeesIt();
    void bindingsInAndOut_data();
    void bindingsInAndOut();
    void pacesInAndOut_data();
    void pacesInAndOut();
    void whatTheUserTypesIsApplied();
    void closingAppliesNothing_data();
    void closingAppliesNothing();
    void reopeningOnWhatWasAppliedChangesNothing();

private:
    TestEnvironment m_environment;
};

// A modeless dialog with the menu image: one row per key in key order (name, text, LF box), the
// paces under them and the buttons at the foot; Tab walks the rows left to right, top to bottom,
// then the paces and Apply.
void TestFunctionDlg::formAsTheUserSeesIt()
{
    QWidget window;
    FunctionDlg dialog(FunctionKeyBindings(), &window);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Function Key Settings"));
    QVERIFY(!dialog.isModal());
    const QImage icon = dialog.windowIcon().pixmap(48, 48).toImage();
    QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32),
             QImage(":/Ostra/images/menu.png").convertToFormat(QImage::Format_ARGB32));

    const auto place = [&dialog](QWidget *widget) {
        return QRect(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
    };
    // Left of the other and on the same line.
    const auto before = [&place](QWidget *left, QWidget *right) {
        const QRect a = place(left), b = place(right);
        return a.right() < b.left() && a.center().y() >= b.top() && a.center().y() <= b.bottom();
    };
    QHash<QString, QLabel *> labels;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        labels.insert(label->text(), label);

    QWidgetList tabOrder;
    int rowTop = -1;
    for (int i = 0; i < functionKeyCount; ++i) {
        const QString key = QStringLiteral("F%1").arg(i + 1);
        QLabel *label = labels.value(key);
        QLineEdit *edit = functionKeyEdit(&dialog, i);
        QCheckBox *lineFeed = lineFeedBox(&dialog, i);
        QVERIFY2(label, qPrintable(key));
        QCOMPARE(lineFeed->text(), QString("LF"));
        QVERIFY2(before(label, edit) && before(edit, lineFeed), qPrintable(key));
        QVERIFY2(place(edit).top() > rowTop, qPrintable(key));
        rowTop = place(edit).bottom();
        QVERIFY(edit->inputMask().isEmpty() && !edit->validator());
        tabOrder << edit << lineFeed;
    }
    QSpinBox *delay = delayBox(&dialog);
    QVERIFY(before(labels.value("Serial Write Delay mSec"), delay));
    QVERIFY(before(labels.value("Line Delay mSec"), lineDelayBox(dialog)));
    QVERIFY(place(delay).top() > rowTop);
    QVERIFY(place(lineDelayBox(dialog)).top() > place(delay).bottom());
    QCOMPARE(paceBox(dialog)->text(), QString("Wait the whole delay after each character"));
    QVERIFY(before(applyButton(dialog), button(dialog, QDialogButtonBox::Ok)));
    QVERIFY(before(button(dialog, QDialogButtonBox::Ok), button(dialog, QDialogButtonBox::Cancel)));
    QVERIFY(place(applyButton(dialog)).top() > place(paceBox(dialog)).bottom());
    tabOrder << delay << lineDelayBox(dialog) << paceBox(dialog) << applyButton(dialog);

    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    functionKeyEdit(&dialog, 0)->setFocus();
    QWidgetList walked{QApplication::focusWidget()};
    while (walked.size() < tabOrder.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget();
    }
    QCOMPARE(walked, tabOrder);
}

void TestFunctionDlg::bindingsInAndOut_data()
{
    QTest::addColumn<QString>("binding");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("applied");

    QTest::newRow("three letters then CR LF") << "ATZ\r\n"
                                              << "ATZ" << true << "ATZ\r\n";
    QTest::newRow("no line feed") << "ATZ"
                                  << "ATZ" << false << "ATZ";
    QTest::newRow("empty") << ""
                           << "" << false << "";
    QTest::newRow("CR LF alone") << "\r\n"
                                 << "" << true << "\r\n";
    // Only a store written by hand holds these.
    QTest::newRow("CR LF in the middle") << "AT\r\nZ"
                                         << "ATZ" << true << "ATZ\r\n";
    QTest::newRow("two pairs") << "A\r\nB\r\n"
                               << "AB" << true << "AB\r\n";
    QTest::newRow("lone LF stays and ticks") << "A\nB"
                                             << "A\nB" << true << "A\nB\r\n";
    QTest::newRow("lone CR stays") << "A\rB"
                                   << "A\rB" << false << "A\rB";
    QTest::newRow("LF CR is no pair") << "A\n\rB"
                                      << "A\n\rB" << true << "A\n\rB\r\n";
    QTest::newRow("beyond Latin-1")
        << QString(QChar(0x20AC)) << QString(QChar(0x20AC)) << false << QString(QChar(0x20AC));
}

// A binding opens as its text and LF box, and Apply, with nothing changed, hands over what the
// form shows: the text with CR LF after it when the box is ticked.
void TestFunctionDlg::bindingsInAndOut()
{
    QFETCH(QString, binding);
    QFETCH(QString, shown);
    QFETCH(bool, ticked);
    QFETCH(QString, applied);

    FunctionDlg dialog(bindingsWith(binding, 5));
    QCOMPARE(functionKeyEdit(&dialog, 0)->text(), shown);
    QCOMPARE(lineFeedBox(&dialog, 0)->isChecked(), ticked);
    // Filled by an insertion, so the user can undo back to an empty field.
    QCOMPARE(functionKeyEdit(&dialog, 0)->isUndoAvailable(), !shown.isEmpty());
    const FunctionKeyBindings out = appliedAfter(dialog, [] {});
    QCOMPARE(out.keys.size(), functionKeyCount);
    QCOMPARE(out.keys.at(0).text, applied);
    for (int i = 1; i < functionKeyCount; ++i) {
        QCOMPARE(out.keys.at(i).key, Qt::Key_F1 + i);
        QVERIFY(out.keys.at(i).text.isEmpty());
    }
}

void TestFunctionDlg::pacesInAndOut_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("lineDelay");
    QTest::addColumn<bool>("paceWhole");
    QTest::addColumn<int>("shownDelay");
    QTest::addColumn<int>("shownLineDelay");

    QTest::newRow("as a first run has them") << 5 << 0 << false << 5 << 0;
    QTest::newRow("slow target") << 250 << 40 << true << 250 << 40;
    // A store written by hand may hold what the boxes cannot show: they show, and apply, the
    // nearest they can.
    QTest::newRow("above the boxes' range") << 20000 << 20000 << false << 10000 << 10000;
    QTest::newRow("negative") << -5 << -1 << false << 0 << 0;
}

void TestFunctionDlg::pacesInAndOut()
{
    QFETCH(int, delay);
    QFETCH(int, lineDelay);
    QFETCH(bool, paceWhole);
    QFETCH(int, shownDelay);
    QFETCH(int, shownLineDelay);

    FunctionDlg dialog(bindingsWith(QString(), delay, lineDelay, paceWhole));
    QCOMPARE(delayBox(&dialog)->text(), QString::number(shownDelay));
    QCOMPARE(lineDelayBox(dialog)->text(), QString::number(shownLineDelay));
    QCOMPARE(paceBox(dialog)->isChecked(), paceWhole);
    const FunctionKeyBindings out = appliedAfter(dialog, [] {});
    QCOMPARE(out.delay, shownDelay);
    QCOMPARE(out.lineDelay, shownLineDelay);
    QCOMPARE(out.paceWhole, paceWhole);
}

// Keys typed into the fields, the LF boxes and the paces reach what Apply hands over; Apply
// leaves the dialog open on what the user sees.
void TestFunctionDlg::whatTheUserTypesIsApplied()
{
    FunctionDlg dialog(FunctionKeyBindings{});
    dialog.show();
    const FunctionKeyBindings out = appliedAfter(dialog, [&dialog] {
        QTest::keyClicks(functionKeyEdit(&dialog, 1), "ATI");
        QTest::mouseClick(lineFeedBox(&dialog, 1), Qt::LeftButton);
        QTest::keyClicks(functionKeyEdit(&dialog, 11), "ATH");
        delayBox(&dialog)->selectAll();
        QTest::keyClicks(delayBox(&dialog), "250");
        lineDelayBox(dialog)->selectAll();
        QTest::keyClicks(lineDelayBox(dialog), "40");
        QTest::mouseClick(paceBox(dialog), Qt::LeftButton);
    });
    QCOMPARE(out.keys.at(1).text, QString("ATI\r\n"));
    QCOMPARE(out.keys.at(11).text, QString("ATH"));
    QCOMPARE(out.delay, 250);
    QCOMPARE(out.lineDelay, 40);
    QVERIFY(out.paceWhole);
    QVERIFY(dialog.isVisible());
    QCOMPARE(functionKeyEdit(&dialog, 1)->text(), QString("ATI"));
}

void TestFunctionDlg::closingAppliesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("window close button") << "close";
    QTest::newRow("OK, which the window applies") << "ok";
}

// Edits are handed over only by Apply; the ways to close hand over nothing themselves, and OK
// says so, for the window to apply and let go.
void TestFunctionDlg::closingAppliesNothing()
{
    QFETCH(QString, how);
    FunctionDlg dialog(bindingsWith("AT", 5));
    dialog.show();
    QSignalSpy applied(&dialog, &FunctionDlg::applied);
    QSignalSpy ok(&dialog, &FunctionDlg::okClicked);
    QTest::keyClicks(functionKeyEdit(&dialog, 0), "X");
    if (how == "cancel")
        QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    else if (how == "escape")
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else if (how == "ok")
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    else
        dialog.close();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(applied.count(), 0);
    QCOMPARE(ok.count(), how == "ok" ? 1 : 0);
}

// What Apply handed over opens the same again: applying it once more changes nothing, the CR LF
// is neither doubled nor lost.
void TestFunctionDlg::reopeningOnWhatWasAppliedChangesNothing()
{
    FunctionDlg first(FunctionKeyBindings{});
    const FunctionKeyBindings applied = appliedAfter(first, [&first] {
        for (int i = 0; i < functionKeyCount; ++i) {
            QTest::keyClicks(functionKeyEdit(&first, i), QStringLiteral("K%1").arg(i + 1));
            lineFeedBox(&first, i)->setChecked(i % 2 == 0);
        }
        delayBox(&first)->setValue(0);
    });
    QCOMPARE(applied.keys.at(0).text, QString("K1\r\n"));
    QCOMPARE(applied.keys.at(1).text, QString("K2"));
    QCOMPARE(appliedAfter(first, [] {}).keys.at(0).text, QString("K1\r\n"));

    FunctionDlg reopened(applied);
    const FunctionKeyBindings again = appliedAfter(reopened, [] {});
    for (int i = 0; i < functionKeyCount; ++i) {
        QCOMPARE(again.keys.at(i).key, applied.keys.at(i).key);
        QCOMPARE(again.keys.at(i).text, applied.keys.at(i).text);
    }
    QCOMPARE(again.delay, 0);
}

QTEST_MAIN(TestFunctionDlg)
#include "tst_functiondlg.moc"
