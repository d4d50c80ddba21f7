// The main window as the user meets it: its form, its toggles, the About box, the shortcuts,
// the connection timer and the way it closes.

#include "app/vantorterm.h"
#include "support/testenvironment.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

namespace {

// The entries of a menu or tool bar as object names, "|" for a separator.
QStringList entryNames(const QList<QAction *> &actions)
{
    QStringList names;
    for (QAction *action : actions)
        names.append(action->isSeparator() ? QStringLiteral("|") : action->objectName());
    return names;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_environment.clearSettings(); }

    void formActions_data();
    void formActions();
    void menusAndToolBar();
    void windowOnFirstRun();
    void aboutBox();
    void toolbarToggleHidesOnlyTheToolBar();
    void hexToggleShowsAndHidesOnlyTheHexPane();
    void connectionTimer();
    void shortcutsReachActionsNotTheView_data();
    void shortcutsReachActionsNotTheView();
    void exitClosesThroughCloseEvent();

private:
    TestEnvironment m_environment;
};

void TestMainWindow::formActions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");

    QTest::newRow("exit") << "actionE_xit"
                          << "Exit"
                          << "Alt+X"
                          << "Exit" << false << false;
    QTest::newRow("font") << "action_Font"
                          << "Font"
                          << ""
                          << "Font" << false << false;
    QTest::newRow("font color") << "action_FontColor"
                                << "Font color"
                                << ""
                                << "Font color" << false << false;
    QTest::newRow("about") << "actionAbout_This_Program"
                           << "About This Program"
                           << ""
                           << "About This Program" << false << false;
    QTest::newRow("function settings") << "actionFunction_Settings"
                                       << "Function Settings"
                                       << "Alt+F"
                                       << "Function Settings" << false << false;
    QTest::newRow("toolbar") << "action_Toolbar"
                             << "Toolbar Hide"
                             << ""
                             << "Toolbar Hide" << true << false;
    QTest::newRow("capture") << "actionCa_pture"
                             << "SaveCapture"
                             << "Alt+S"
                             << "SaveCapture" << false << false;
    QTest::newRow("clear") << "action_Clear_Screen"
                           << "Clear Screen"
                           << "Alt+A"
                           << "Clear Screen" << false << false;
    // Checked in the form; an empty store then unchecks it while the window is built.
    QTest::newRow("hexa") << "actionHexa_Mode"
                          << "Hexa View"
                          << "Alt+H"
                          << "Hexa View" << true << false;
    QTest::newRow("background") << "actionBackground_color"
                                << "Background color"
                                << ""
                                << "Background color" << false << false;
}

void TestMainWindow::formActions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, shortcut);
    QFETCH(QString, toolTip);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);

    VantorTerm window;
    auto action = window.findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    QCOMPARE(action->toolTip(), toolTip);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);
    QVERIFY(action->isEnabled());
    QVERIFY2(!action->icon().isNull(), "every action has its image");
}

void TestMainWindow::menusAndToolBar()
{
    VantorTerm window;
    QCOMPARE(window.objectName(), QStringLiteral("Ostra"));

    QStringList menuTitles;
    QList<QStringList> menuEntries;
    for (QAction *menuAction : window.menuBar()->actions()) {
        menuTitles.append(menuAction->text());
        menuEntries.append(entryNames(menuAction->menu()->actions()));
    }
    QCOMPARE(menuTitles, (QStringList{"&Main", "&View", "&Configure", "&Help"}));
    QCOMPARE(menuEntries.at(0), (QStringList{"actionE_xit", "|", "actionCa_pture"}));
    QCOMPARE(menuEntries.at(1),
             (QStringList{"action_Toolbar", "|", "action_Clear_Screen", "|", "actionHexa_Mode"}));
    QCOMPARE(menuEntries.at(2), (QStringList{"actionFunction_Settings", "|", "action_Font",
                                             "action_FontColor", "actionBackground_color"}));
    QCOMPARE(menuEntries.at(3), (QStringList{"actionAbout_This_Program"}));

    auto toolBar = window.findChild<QToolBar *>("toolBar");
    QVERIFY(toolBar);
    QCOMPARE(toolBar->windowTitle(), QStringLiteral("toolBar"));
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(entryNames(toolBar->actions()),
             (QStringList{"actionCa_pture", "|", "action_Font", "action_FontColor",
                          "actionBackground_color", "|", "action_Clear_Screen", "actionHexa_Mode",
                          "|", "actionFunction_Settings"}));
    QVERIFY(window.findChild<QStatusBar *>("statusbar"));
}

void TestMainWindow::windowOnFirstRun()
{
    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QStringLiteral("Tarquel's Terminal V3.00"));
    QCOMPARE(window.size(), QSize(800, 600));
    QCOMPARE(window.pos(), QPoint(25, 25));
    QCOMPARE(window.minimumSize(), QSize(640, 480));
    QCOMPARE(window.font().family(), QStringLiteral("Lucida Console"));
    QCOMPARE(window.font().pointSize(), 10);
    QVERIFY(!window.windowIcon().isNull());

    // The window cannot be made smaller than its minimum.
    window.resize(300, 200);
    QCOMPARE(window.size(), QSize(640, 480));

    auto textGroup = window.findChild<QGroupBox *>("textGroup");
    auto hexaGroup = window.findChild<QGroupBox *>("hexaGroup");
    QVERIFY(textGroup && hexaGroup);
    QVERIFY(textGroup->isVisible());
    QVERIFY2(!hexaGroup->isVisible(), "hex mode is off on a first run");
    QVERIFY(window.findChild<QToolBar *>("toolBar")->isVisible());

    // No device yet: both views are hidden and disabled inside their frames.
    auto view = window.findChild<OstraView *>();
    auto hexView = window.findChild<HexView *>();
    QVERIFY(view && hexView);
    QCOMPARE(view->parentWidget(), textGroup);
    QCOMPARE(hexView->parentWidget(), hexaGroup);
    QVERIFY(!view->isVisible() && !view->isEnabled());
    QVERIFY(!hexView->isVisible() && !hexView->isEnabled());
    QVERIFY(hexView->isReadOnly());

    // Text pane above hex pane.
    window.findChild<QAction *>("actionHexa_Mode")->setChecked(true);
    QVERIFY(textGroup->geometry().bottom() < hexaGroup->geometry().top());
}

void TestMainWindow::aboutBox()
{
    VantorTerm window;
    window.show();
    QString title;
    QString text;
    QWidget *parent = nullptr;
    whenDialogOpens<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        parent = box->parentWidget();
        box->accept();
    });
    window.findChild<QAction *>("actionAbout_This_Program")->trigger();
    QCOMPARE(title, QStringLiteral("About "));
    QCOMPARE(text, QStringLiteral("<p>Tarquel's Terminal V3.00</p><p>by Brannow</p>"));
    QCOMPARE(parent, &window);
}

void TestMainWindow::toolbarToggleHidesOnlyTheToolBar()
{
    VantorTerm window;
    window.show();
    auto toolBar = window.findChild<QToolBar *>("toolBar");
    auto toggle = window.findChild<QAction *>("action_Toolbar");
    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QVERIFY(!toolBar->isVisible());
    QVERIFY(window.findChild<QGroupBox *>("textGroup")->isVisible());
    toggle->trigger();
    QVERIFY(toolBar->isVisible());
}

void TestMainWindow::hexToggleShowsAndHidesOnlyTheHexPane()
{
    VantorTerm window;
    window.show();
    auto textGroup = window.findChild<QGroupBox *>("textGroup");
    auto hexaGroup = window.findChild<QGroupBox *>("hexaGroup");
    auto toggle = window.findChild<QAction *>("actionHexa_Mode");

    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QVERIFY(hexaGroup->isVisible());
    QVERIFY(textGroup->isVisible());
    toggle->trigger();
    QVERIFY(!hexaGroup->isVisible());
    QVERIFY(textGroup->isVisible());
}

void TestMainWindow::connectionTimer()
{
    VantorTerm window;
    auto timer = window.findChild<QTimer *>();
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(!timer->isSingleShot());
}

void TestMainWindow::shortcutsReachActionsNotTheView_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("key");
    QTest::newRow("Alt+X exit") << "actionE_xit" << int(Qt::Key_X);
    QTest::newRow("Alt+F function settings") << "actionFunction_Settings" << int(Qt::Key_F);
    QTest::newRow("Alt+S capture") << "actionCa_pture" << int(Qt::Key_S);
    QTest::newRow("Alt+A clear screen") << "action_Clear_Screen" << int(Qt::Key_A);
}

void TestMainWindow::shortcutsReachActionsNotTheView()
{
    QFETCH(QString, action);
    QFETCH(int, key);

    VantorTerm window;
    window.setCaptureFileNamePrompt([](QWidget *) { return QString(); });
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // As when a device is connected: the view is enabled, shown and has the focus.
    auto view = window.findChild<OstraView *>();
    view->setEnabled(true);
    view->show();
    view->setFocus();
    QSignalSpy keys(view, &OstraView::keyInput);
    QSignalSpy triggered(window.findChild<QAction *>(action), &QAction::triggered);

    QTest::keyClick(view, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(triggered.count(), 1);
    // The Alt key itself is reported like any modifier; the letter must not be.
    for (const QList<QVariant> &report : keys)
        QVERIFY2(report.at(0).toInt() != key, "the shortcut's key reached the view");
}

void TestMainWindow::exitClosesThroughCloseEvent()
{
    DebugLog log;
    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QAction *>("actionE_xit")->trigger();
    QVERIFY(!window.isVisible());
    QCOMPARE(log.count(QStringLiteral("closeEvent")), 1);
    // The settings were stored on the way out.
    QVERIFY(QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"))
                .contains(QStringLiteral("pos")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
