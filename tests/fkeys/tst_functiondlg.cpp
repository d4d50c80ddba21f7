#include "app/programtitle.h"
#include "app/vantorterm.h"
#include "fkeys/functiondlg.h"

#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <memory>

// The function-key dialog as the user meets it through the main window: its form, how it fills
// itself from the table, and what Apply, OK, Cancel and reopening do to the table.
class TestFunctionDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formAsTheUserSeesIt();
    void fillsFromTable_data();
    void fillsFromTable();
    void fillsFromStore_data();
    void fillsFromStore();
    void applyThenCloseKeepsApplied_data();
    void applyThenCloseKeepsApplied();
    void cancelledEditsAreNotShownAgain();
    void functionSettingsWhileOpenDoesNothing();
    void okAppliesAndLetsGoOfTheDialog();
    void reapplyingLeavesBindingsAsTheyWere();

private:
    FunctionDlg *openDialog();
    FunctionDlg *visibleDialog() const;
    void clickApply(FunctionDlg *dialog);
    void clickStandardButton(FunctionDlg *dialog, QDialogButtonBox::StandardButton which);
    void applyTable(const QString &f1, int delay);

    TestEnvironment m_environment;
    std::unique_ptr<VantorTerm> m_window;
};

void TestFunctionDlg::init()
{
    m_environment.clearSettings();
    m_window = std::make_unique<VantorTerm>();
    m_window->setPortFinder([] { return QStringList(); });
}

void TestFunctionDlg::cleanup()
{
    m_window.reset();
}

FunctionDlg *TestFunctionDlg::visibleDialog() const
{
    FunctionDlg *found = nullptr;
    for (FunctionDlg *dialog : m_window->findChildren<FunctionDlg *>()) {
        if (!dialog->isVisible())
            continue;
        if (found)
            return nullptr; // two visible dialogs are never right
        found = dialog;
    }
    return found;
}

FunctionDlg *TestFunctionDlg::openDialog()
{
    m_window->findChild<QAction *>("actionFunction_Settings")->trigger();
    return visibleDialog();
}

void TestFunctionDlg::clickApply(FunctionDlg *dialog)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>("btnApply"), Qt::LeftButton);
}

void TestFunctionDlg::clickStandardButton(FunctionDlg *dialog,
                                          QDialogButtonBox::StandardButton which)
{
    auto box = dialog->findChild<QDialogButtonBox *>("buttonBox");
    QTest::mouseClick(box->button(which), Qt::LeftButton);
}

// Puts f1 (exactly, with no LF box) and the delay into the table through the dialog, the way
// any binding gets there during a run, and closes the dialog again.
void TestFunctionDlg::applyTable(const QString &f1, int delay)
{
    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    functionKeyEdit(dialog, 0)->setText(f1);
    lineFeedBox(dialog, 0)->setChecked(false);
    delayBox(dialog)->setValue(delay);
    clickApply(dialog);
    clickStandardButton(dialog, QDialogButtonBox::Cancel);
    QCOMPARE(m_window->functionKeys().at(0).text, f1);
    QCOMPARE(m_window->delay(), delay);
}

// The dialog as the user meets it: a modeless window of the main window with the menu image,
// one row per key in key order (name, text, LF box), the delay under them and the buttons at
// the foot; Tab walks the rows left to right, top to bottom, then the delay and Apply.
void TestFunctionDlg::formAsTheUserSeesIt()
{
    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->parent(), m_window.get());
    QCOMPARE(dialog->windowTitle(), QString("Function Key Settings"));
    QVERIFY(!dialog->isModal());
    // Where the platform's fonts make the thirteen rows taller, the layout's minimum wins.
    QCOMPARE(dialog->width(), 550);
    QVERIFY(dialog->height() >= 405);
    QCOMPARE(dialog->font().family(), QString("Lucida Console"));
    QCOMPARE(dialog->font().pointSize(), 10);
    const QImage icon = dialog->windowIcon().pixmap(48, 48).toImage();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32),
             QImage(":/Ostra/images/menu.png").convertToFormat(QImage::Format_ARGB32));

    const auto place = [dialog](QWidget *widget) {
        return QRect(widget->mapTo(dialog, QPoint(0, 0)), widget->size());
    };
    // Left of the other and on the same line.
    const auto before = [&place](QWidget *left, QWidget *right) {
        const QRect a = place(left), b = place(right);
        return a.right() < b.left() && a.center().y() >= b.top() && a.center().y() <= b.bottom();
    };
    QHash<QString, QLabel *> labels;
    for (QLabel *label : dialog->findChildren<QLabel *>())
        labels.insert(label->text(), label);

    QWidgetList tabOrder;
    int rowTop = -1;
    for (int i = 0; i < functionKeyCount; ++i) {
        const QString key = QStringLiteral("F%1").arg(i + 1);
        QLabel *label = labels.value(key);
        QLineEdit *edit = functionKeyEdit(dialog, i);
        QCheckBox *lineFeed = lineFeedBox(dialog, i);
        QVERIFY2(label, qPrintable(key));
        QCOMPARE(lineFeed->text(), QString("LF"));
        QVERIFY2(before(label, edit) && before(edit, lineFeed), qPrintable(key));
        QVERIFY2(place(edit).top() > rowTop, qPrintable(key));
        rowTop = place(edit).bottom();
        QVERIFY(edit->inputMask().isEmpty() && !edit->validator());
        tabOrder << edit << lineFeed;
    }
    QLabel *delayLabel = labels.value("Serial Write Delay mSec");
    QVERIFY(delayLabel);
    QSpinBox *delay = delayBox(dialog);
    QVERIFY(before(delayLabel, delay));
    QVERIFY(place(delay).top() > rowTop);
    QCOMPARE(delay->minimum(), 0);
    QCOMPARE(delay->maximum(), 10000);
    QCOMPARE(delay->value(), 5);

    auto apply = dialog->findChild<QPushButton *>("btnApply");
    auto box = dialog->findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(apply && box);
    QCOMPARE(apply->text(), QString("Apply"));
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QVERIFY(before(apply, box->button(QDialogButtonBox::Ok)));
    QVERIFY(place(apply).top() > place(delay).bottom());
    tabOrder << delay << dialog->findChild<QSpinBox *>("spinBox_lineDelay")
             << dialog->findChild<QCheckBox *>("checkBox_pace") << apply;

    QVERIFY(QTest::qWaitForWindowActive(dialog));
    functionKeyEdit(dialog, 0)->setFocus();
    QWidgetList walked{QApplication::focusWidget()};
    while (walked.size() < tabOrder.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget();
    }
    QCOMPARE(walked, tabOrder);
}

void TestFunctionDlg::fillsFromTable_data()
{
    QTest::addColumn<QString>("binding");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("afterApply");

    QTest::newRow("three letters then CR LF") << "ATZ\r\n"
                                              << "ATZ" << true << "ATZ\r\n";
    QTest::newRow("no line feed") << "ATZ"
                                  << "ATZ" << false << "ATZ";
    QTest::newRow("empty") << ""
                           << "" << false << "";
    QTest::newRow("CR LF alone") << "\r\n"
                                 << "" << true << "\r\n";
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

void TestFunctionDlg::fillsFromTable()
{
    QFETCH(QString, binding);
    QFETCH(QString, shown);
    QFETCH(bool, ticked);
    QFETCH(QString, afterApply);

    applyTable(binding, 5);
    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(functionKeyEdit(dialog, 0)->text(), shown);
    QCOMPARE(lineFeedBox(dialog, 0)->isChecked(), ticked);
    // Filled by an insertion, so the user can undo back to an empty field.
    QCOMPARE(functionKeyEdit(dialog, 0)->isUndoAvailable(), !shown.isEmpty());
    for (int i = 1; i < 12; ++i) {
        QVERIFY(functionKeyEdit(dialog, i)->text().isEmpty());
        QVERIFY(!lineFeedBox(dialog, i)->isChecked());
    }

    clickApply(dialog);
    QCOMPARE(m_window->functionKeys().at(0).text, afterApply);
    QVERIFY(dialog->isVisible());
    QCOMPARE(functionKeyEdit(dialog, 0)->text(), shown);
}

void TestFunctionDlg::fillsFromStore_data()
{
    QTest::addColumn<QString>("f3");
    QTest::addColumn<QString>("delay");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<int>("shownDelay");
    QTest::addColumn<QString>("appliedF3");

    QTest::newRow("CR LF in the middle") << "AT\r\nZ"
                                         << "250"
                                         << "ATZ" << true << 250 << "ATZ\r\n";
    QTest::newRow("delay above 10000 shows 10000") << "ATI"
                                                   << "20000"
                                                   << "ATI" << false << 10000 << "ATI";
    QTest::newRow("negative delay shows 0") << ""
                                            << "-5"
                                            << "" << false << 0 << "";
}

// Only the settings store can hand the table a binding with CR LF inside it or a delay outside
// the spin box's range.
void TestFunctionDlg::fillsFromStore()
{
    QFETCH(QString, f3);
    QFETCH(QString, delay);
    QFETCH(QString, shown);
    QFETCH(bool, ticked);
    QFETCH(int, shownDelay);
    QFETCH(QString, appliedF3);

    m_window.reset();
    {
        QSettings store("TarquelTerm", programTitle());
        store.setValue("F3", f3);
        store.setValue("delay", delay);
    }
    m_window = std::make_unique<VantorTerm>();
    QCOMPARE(m_window->functionKeys().at(2).text, f3);
    QCOMPARE(m_window->delay(), delay.toInt());

    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(functionKeyEdit(dialog, 2)->text(), shown);
    QCOMPARE(lineFeedBox(dialog, 2)->isChecked(), ticked);
    QCOMPARE(delayBox(dialog)->value(), shownDelay);
    QCOMPARE(delayBox(dialog)->text(), QString::number(shownDelay));

    clickApply(dialog);
    QCOMPARE(m_window->functionKeys().at(2).text, appliedF3);
    QCOMPARE(m_window->delay(), shownDelay);
}

void TestFunctionDlg::applyThenCloseKeepsApplied_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("window close button") << "close";
}

void TestFunctionDlg::applyThenCloseKeepsApplied()
{
    QFETCH(QString, how);

    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    QTest::keyClicks(functionKeyEdit(dialog, 1), "ATI");
    QTest::mouseClick(lineFeedBox(dialog, 1), Qt::LeftButton);
    QVERIFY(lineFeedBox(dialog, 1)->isChecked());
    delayBox(dialog)->selectAll();
    QTest::keyClicks(delayBox(dialog), "250");
    clickApply(dialog);
    QCOMPARE(m_window->functionKeys().at(1).text, QString("ATI\r\n"));
    QCOMPARE(m_window->delay(), 250);

    // Edits after the Apply are thrown away by closing the dialog.
    QTest::keyClicks(functionKeyEdit(dialog, 1), "X");
    QTest::keyClicks(functionKeyEdit(dialog, 4), "lost");
    delayBox(dialog)->selectAll();
    QTest::keyClicks(delayBox(dialog), "7");
    if (how == "cancel")
        clickStandardButton(dialog, QDialogButtonBox::Cancel);
    else if (how == "escape")
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->close();

    QVERIFY(!dialog->isVisible());
    const QList<FunctionKey> keys = m_window->functionKeys();
    QCOMPARE(keys.size(), 12);
    QCOMPARE(keys.at(1).text, QString("ATI\r\n"));
    QVERIFY(keys.at(4).text.isEmpty());
    QCOMPARE(m_window->delay(), 250);

    // ... and what was applied is what the window keeps for the next run.
    m_window->close();
    QSettings store("TarquelTerm", programTitle());
    QCOMPARE(store.value("F2").toString(), QString("ATI\r\n"));
    QCOMPARE(store.value("F5").toString(), QString());
    QCOMPARE(store.value("delay").toString(), QString("250"));
}

void TestFunctionDlg::cancelledEditsAreNotShownAgain()
{
    applyTable("AT", 20);
    FunctionDlg *first = openDialog();
    QVERIFY(first);
    functionKeyEdit(first, 0)->selectAll();
    QTest::keyClicks(functionKeyEdit(first, 0), "XYZ");
    QTest::mouseClick(lineFeedBox(first, 0), Qt::LeftButton);
    delayBox(first)->setValue(900);
    clickStandardButton(first, QDialogButtonBox::Cancel);
    QPointer<FunctionDlg> cancelled(first);

    FunctionDlg *second = openDialog();
    QVERIFY(second);
    QVERIFY(second != cancelled);
    QVERIFY(!cancelled || !cancelled->isVisible());
    QCOMPARE(functionKeyEdit(second, 0)->text(), QString("AT"));
    QVERIFY(!lineFeedBox(second, 0)->isChecked());
    QCOMPARE(delayBox(second)->value(), 20);
    QCOMPARE(m_window->functionKeys().at(0).text, QString("AT"));
}

void TestFunctionDlg::functionSettingsWhileOpenDoesNothing()
{
    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    QTest::keyClicks(functionKeyEdit(dialog, 6), "not applied");
    const int dialogs = m_window->findChildren<FunctionDlg *>().size();

    QAction *action = m_window->findChild<QAction *>("actionFunction_Settings");
    action->trigger();
    QMetaObject::invokeMethod(m_window.get(), "functionSetting");

    QCOMPARE(visibleDialog(), dialog);
    QCOMPARE(m_window->findChildren<FunctionDlg *>().size(), dialogs);
    QCOMPARE(functionKeyEdit(dialog, 6)->text(), QString("not applied"));
    QVERIFY(m_window->functionKeys().at(6).text.isEmpty());
}

void TestFunctionDlg::okAppliesAndLetsGoOfTheDialog()
{
    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    QTest::keyClicks(functionKeyEdit(dialog, 11), "ATH");
    QTest::mouseClick(lineFeedBox(dialog, 11), Qt::LeftButton);
    delayBox(dialog)->setValue(40);
    QPointer<FunctionDlg> accepted(dialog);
    clickStandardButton(dialog, QDialogButtonBox::Ok);

    QCOMPARE(m_window->functionKeys().at(11).text, QString("ATH\r\n"));
    QCOMPARE(m_window->delay(), 40);
    QVERIFY(visibleDialog() == nullptr);

    // The window no longer holds the dialog: an Apply reaching it now finds nothing to read,
    // even though the dialog object itself may not be deleted yet.
    if (accepted) {
        QVERIFY(!accepted->isVisible());
        functionKeyEdit(accepted, 11)->setText("changed after OK");
    }
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "applyFunction"));
    QCOMPARE(m_window->functionKeys().at(11).text, QString("ATH\r\n"));

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(accepted.isNull());
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "applyFunction"));
    QCOMPARE(m_window->delay(), 40);

    FunctionDlg *reopened = openDialog();
    QVERIFY(reopened);
    QCOMPARE(functionKeyEdit(reopened, 11)->text(), QString("ATH"));
    QVERIFY(lineFeedBox(reopened, 11)->isChecked());
    QCOMPARE(delayBox(reopened)->value(), 40);
}

void TestFunctionDlg::reapplyingLeavesBindingsAsTheyWere()
{
    FunctionDlg *dialog = openDialog();
    QVERIFY(dialog);
    for (int i = 0; i < 12; ++i) {
        QTest::keyClicks(functionKeyEdit(dialog, i), QStringLiteral("K%1").arg(i + 1));
        lineFeedBox(dialog, i)->setChecked(i % 2 == 0);
    }
    delayBox(dialog)->setValue(0);
    clickApply(dialog);
    const QList<FunctionKey> applied = m_window->functionKeys();
    QCOMPARE(applied.at(0).text, QString("K1\r\n"));
    QCOMPARE(applied.at(1).text, QString("K2"));
    QCOMPARE(m_window->delay(), 0);

    // Applying again does not double the CR LF.
    clickApply(dialog);
    clickStandardButton(dialog, QDialogButtonBox::Ok);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Opening takes the CR LF out and OK puts it back.
    FunctionDlg *reopened = openDialog();
    QVERIFY(reopened);
    clickStandardButton(reopened, QDialogButtonBox::Ok);
    const QList<FunctionKey> keys = m_window->functionKeys();
    QCOMPARE(keys.size(), 12);
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(keys.at(i).key, applied.at(i).key);
        QCOMPARE(keys.at(i).text, applied.at(i).text);
    }
    QCOMPARE(m_window->delay(), 0);
}

QTEST_MAIN(TestFunctionDlg)
#include "tst_functiondlg.moc"
