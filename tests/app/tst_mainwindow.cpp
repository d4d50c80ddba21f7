// The main window as the user meets it: its form, its toggles, the About box, the shortcuts,
// the connection timer, the waiting screen and the way it closes.

#include "app/vantorterm.h"
#include "app/waitingscreen.h"
#include "devsim/connectedwindow.h"
#include "fkeys/functiondlg.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

namespace {

// The entries of a menu or tool bar as the user reads them: text, shortcut, a box for a toggle;
// "|" for a separator. Every entry shows its image and its text as its tool tip.
QStringList entries(const QList<QAction *> &actions)
{
    QStringList shown;
    for (QAction *action : actions) {
        if (action->isSeparator()) {
            shown.append(QStringLiteral("|"));
            continue;
        }
        QString entry = action->text();
        if (!action->shortcut().isEmpty())
            entry += QLatin1Char(' ') + action->shortcut().toString();
        if (action->isCheckable())
            entry += action->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
        if (action->icon().isNull() || action->toolTip() != action->text())
            entry += QStringLiteral(" (no image or other tool tip)");
        if (!action->isEnabled())
            entry += QStringLiteral(" (disabled)");
        shown.append(entry);
    }
    return shown;
}

} // namespace

// Shows window active, its text view as when a device is connected: enabled, shown and with the
// focus. Null when the window did not become active.
OstraView *activeWithViewFocused(VantorTerm &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        return nullptr;
    auto view = window.findChild<OstraView *>();
    view->setEnabled(true);
    view->show();
    view->setFocus();
    return view;
}

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_environment.clearSettings(); }

    void menusAndToolBar();
    void windowOnFirstRun();
    void imagesComeTwiceAsLargeForScaledScreens();
    void aboutBox();
    void toolbarToggleHidesOnlyTheToolBar();
    void hexToggleShowsAndHidesOnlyTheHexPane();
    void connectionTimer();
    void shortcutsReachActionsNotTheView_data();
    void shortcutsReachActionsNotTheView();
    void altHTogglesHexViewOnEveryPress();
    void connectionMessageOutlivesHovering();
    void toolBarContextMenuAndToolbarHideAgree();
    void restoredFunctionDialogComesUpAboveTheWindow();
    void functionSettingsOpensOnTheTableAndOkLetsGo();
    void missingFontFamilyStillDrawsMonospaced();
    void waitingScreenSaysWhatTheTerminalWaitsFor();
    void keysTypedInTheHexViewReachTheDevice();
    void exitClosesThroughCloseEvent();

private:
    TestEnvironment m_environment;
};

// The menus and the tool bar of a first run, as the user reads them. Hexa View is checked in
// the form; an empty store unchecks it while the window is built.
void TestMainWindow::menusAndToolBar()
{
    VantorTerm window;
    QCOMPARE(window.objectName(), QStringLiteral("Ostra"));

    QStringList menus;
    for (QAction *menuAction : window.menuBar()->actions())
        menus << menuAction->text() + ": " + entries(menuAction->menu()->actions()).join(", ");
    // Alt+H belongs to "Hexa View"; the Help menu answers to Alt+L.
    QCOMPARE(
        menus,
        (QStringList{"&Main: Exit Alt+X, |, SaveCapture Alt+S, Log to File Alt+G [ ], "
                     "Send File Alt+D (disabled)",
                     "&View: Toolbar Hide [ ], |, Clear Screen Alt+A, |, Hexa View Alt+H [ ], "
                     "Timestamps Alt+T [ ], Command Line Alt+K [ ]",
                     "&Configure: Function Settings Alt+F, |, Font, Font color, Background color",
                     "He&lp: About This Program"}));

    auto toolBar = window.findChild<QToolBar *>("toolBar");
    QVERIFY(toolBar);
    QCOMPARE(toolBar->windowTitle(), QStringLiteral("toolBar"));
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(entries(toolBar->actions()).join(", "),
             QStringLiteral("SaveCapture Alt+S, Log to File Alt+G [ ], |, Font, Font color, "
                            "Background color, |, "
                            "Clear Screen Alt+A, Hexa View Alt+H [ ], |, Function Settings Alt+F"));
    QVERIFY(window.findChild<QStatusBar *>("statusbar"));
}

void TestMainWindow::windowOnFirstRun()
{
    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QStringLiteral("Tarquel's Terminal V3.00"));
    QVERIFY(!window.windowIcon().isNull());

    // The window cannot be made smaller than its minimum, whatever a store asks for.
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

// The built-in images keep their sizes, and each but the logo, which is large enough for any
// screen, has a twice as large "@2x" picture beside it, which Qt takes on a scaled screen.
void TestMainWindow::imagesComeTwiceAsLargeForScaledScreens()
{
    const QDir folder(QStringLiteral(":/Ostra/images"));
    QMap<QString, QSize> sizes;
    for (const QString &name : folder.entryList(QDir::Files))
        sizes.insert(name, QImage(folder.filePath(name)).size());
    QCOMPARE(sizes.take(QStringLiteral("TARQUEL_LOGO.png")), QSize(512, 512));
    QVERIFY(!sizes.contains(QStringLiteral("TARQUEL_LOGO@2x.png")));

    const QString doubledSuffix = QStringLiteral("@2x.png");
    int pictures = 0;
    for (auto entry = sizes.cbegin(); entry != sizes.cend(); ++entry) {
        const QString &name = entry.key();
        if (name.endsWith(doubledSuffix)) {
            const QString single = name.chopped(doubledSuffix.size()) + QStringLiteral(".png");
            QVERIFY2(sizes.contains(single), qPrintable(name + " has no picture at 1x"));
            continue;
        }
        ++pictures;
        QVERIFY2(entry.value() == QSize(48, 48), qPrintable(name));
        const QString doubled = name.chopped(4) + doubledSuffix;
        QVERIFY2(sizes.value(doubled) == QSize(96, 96), qPrintable(doubled));
    }
    // The thirteen 48-pixel images the window and the function-key dialog have always had.
    QVERIFY(pictures >= 13);
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

    // A quit signal while it is open closes it with the window: nothing holds the program up.
    whenDialogOpens<QMessageBox>([&](QMessageBox *) { window.closeOnQuitSignal(); });
    window.findChild<QAction *>("actionAbout_This_Program")->trigger();
    QVERIFY(!window.isVisible());
    QVERIFY(!QApplication::activeModalWidget());
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
    OstraView *view = activeWithViewFocused(window);
    QVERIFY(view);
    QSignalSpy keys(view, &OstraView::keyInput);
    QSignalSpy triggered(window.findChild<QAction *>(action), &QAction::triggered);

    QTest::keyClick(view, Qt::Key(key), Qt::AltModifier);
    QCOMPARE(triggered.count(), 1);
    // The Alt key itself is reported like any modifier; the letter must not be.
    for (const QList<QVariant> &report : keys)
        QVERIFY2(report.at(0).toInt() != key, "the shortcut's key reached the view");
}

void TestMainWindow::altHTogglesHexViewOnEveryPress()
{
    VantorTerm window;
    OstraView *view = activeWithViewFocused(window);
    QVERIFY(view);
    QSignalSpy keys(view, &OstraView::keyInput);
    auto hexa = window.findChild<QAction *>("actionHexa_Mode");
    auto hexaGroup = window.findChild<QGroupBox *>("hexaGroup");

    // No two commands share a key, or the toolkit fires neither.
    QList<QKeySequence> taken;
    for (QAction *action : window.findChildren<QAction *>()) {
        const QKeySequence key
            = action->menu() ? QKeySequence::mnemonic(action->text()) : action->shortcut();
        if (key.isEmpty())
            continue;
        QVERIFY2(!taken.contains(key), qPrintable(key.toString()));
        taken.append(key);
    }

    for (bool shown : {true, false, true}) {
        QTest::keyClick(view, Qt::Key_H, Qt::AltModifier);
        QCOMPARE(hexa->isChecked(), shown);
        QCOMPARE(hexaGroup->isVisible(), shown);
    }
    for (const QList<QVariant> &report : keys)
        QVERIFY2(report.at(0).toInt() != Qt::Key_H, "Alt+H reached the view");
    QVERIFY(!QApplication::activePopupWidget());

    QTest::keyClick(view, Qt::Key_L, Qt::AltModifier);
    QCOMPARE(QApplication::activePopupWidget(), window.findChild<QMenu *>("menu_Help"));
    QApplication::activePopupWidget()->close();
}

void TestMainWindow::connectionMessageOutlivesHovering()
{
    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString found = QStringLiteral("the Tarquel Device was found. [ttyACM0]");
    window.showStatus(found);

    // Hovering an entry of an open menu, then leaving the menu.
    auto menu = window.findChild<QMenu *>("menu_View");
    menu->popup(window.mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const QRect entry = menu->actionGeometry(window.findChild<QAction *>("action_Clear_Screen"));
    QMouseEvent hover(QEvent::MouseMove, entry.center(), menu->mapToGlobal(entry.center()),
                      Qt::NoButton, {}, {});
    QApplication::sendEvent(menu, &hover);
    QCOMPARE(menu->activeAction(), window.findChild<QAction *>("action_Clear_Screen"));
    menu->close();
    QCOMPARE(window.statusBar()->currentMessage(), found);

    const QString lost = QStringLiteral("the Tarquel Device was not found.");
    window.showStatus(lost);
    QCOMPARE(window.statusBar()->currentMessage(), lost);
}

void TestMainWindow::toolBarContextMenuAndToolbarHideAgree()
{
    {
        VantorTerm window;
        window.show();
        auto toolBar = window.findChild<QToolBar *>("toolBar");
        auto toolbarHide = window.findChild<QAction *>("action_Toolbar");
        // The entry of the tool bar's context menu, as the user's click reaches it.
        const std::unique_ptr<QMenu> contextMenu(window.createPopupMenu());
        QAction *entry = nullptr;
        for (QAction *action : contextMenu->actions())
            entry = action->text() == QLatin1String("toolBar") ? action : entry;
        QVERIFY(entry);

        entry->trigger();
        QVERIFY(!toolBar->isVisible());
        QVERIFY(toolbarHide->isChecked());
        entry->trigger();
        QVERIFY(toolBar->isVisible());
        QVERIFY(!toolbarHide->isChecked());
        entry->trigger();
        window.close();
    }
    QVERIFY(QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"))
                .value(QStringLiteral("viewtoolbar"))
                .toBool());
}

void TestMainWindow::restoredFunctionDialogComesUpAboveTheWindow()
{
    QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"))
        .setValue(QStringLiteral("ShowFunctionDlg"), true);
    VantorTerm window;
    auto dialog = window.findChild<FunctionDlg *>();
    QVERIFY(dialog);
    QVERIFY2(!dialog->isVisible(), "shown before the window it belongs to");

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(dialog->isVisible());
    // Tied to the window, which is what makes a window manager keep it above.
    QCOMPARE(dialog->windowHandle()->transientParent(), window.windowHandle());

    // "Function Settings" on the open dialog brings it forward, the same dialog.
    window.activateWindow();
    QTRY_COMPARE(QGuiApplication::focusWindow(), window.windowHandle());
    window.findChild<QAction *>("actionFunction_Settings")->trigger();
    QTRY_COMPARE(QGuiApplication::focusWindow(), dialog->windowHandle());
    QCOMPARE(window.findChildren<FunctionDlg *>().size(), 1);
}

// Function Settings opens the dialog on the table as it stands, so a cancelled dialog's edits are
// not shown again; while one is open it opens no other; OK applies what the dialog shows and
// lets go of it, so that an Apply reaching the window later changes nothing.
void TestMainWindow::functionSettingsOpensOnTheTableAndOkLetsGo()
{
    VantorTerm window;
    window.show();
    QAction *functionSettings = window.findChild<QAction *>("actionFunction_Settings");
    const auto visibleDialog = [&window] {
        FunctionDlg *found = nullptr;
        for (FunctionDlg *dialog : window.findChildren<FunctionDlg *>())
            found = dialog->isVisible() ? dialog : found;
        return found;
    };
    functionSettings->trigger();
    QPointer<FunctionDlg> cancelled = visibleDialog();
    QVERIFY(cancelled);
    QTest::keyClicks(functionKeyEdit(cancelled, 0), "XYZ");
    cancelled->reject();

    functionSettings->trigger();
    FunctionDlg *dialog = visibleDialog();
    QVERIFY(dialog && dialog != cancelled);
    QCOMPARE(functionKeyEdit(dialog, 0)->text(), QString());
    QTest::keyClicks(functionKeyEdit(dialog, 11), "ATH");
    lineFeedBox(dialog, 11)->setChecked(true);
    delayBox(dialog)->setValue(40);
    functionSettings->trigger();
    QCOMPARE(visibleDialog(), dialog);
    QCOMPARE(functionKeyEdit(dialog, 11)->text(), QString("ATH"));
    QVERIFY(window.functionKeys().at(11).text.isEmpty());

    QPointer<FunctionDlg> accepted(dialog);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(window.functionKeys().at(11).text, QString("ATH\r\n"));
    QCOMPARE(window.delay(), 40);
    QVERIFY(!visibleDialog());
    if (accepted)
        functionKeyEdit(accepted, 11)->setText("changed after OK");
    QVERIFY(QMetaObject::invokeMethod(&window, "applyFunction"));
    QCOMPARE(window.functionKeys().at(11).text, QString("ATH\r\n"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(accepted.isNull());
}

void TestMainWindow::missingFontFamilyStillDrawsMonospaced()
{
    const QString missing = QStringLiteral("No Such Family Here");
    QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"))
        .setValue(QStringLiteral("fontfamily"), missing);
    {
        VantorTerm window;
        window.show();
        auto view = window.findChild<OstraView *>();
        QCOMPARE(glyphAdvances(view->font()).size(), 1);

        // The Font dialog opens on the face in use; cancelled, it changes nothing.
        QString offered;
        whenDialogOpens<QFontDialog>([&](QFontDialog *dialog) {
            offered = dialog->currentFont().family();
            dialog->reject();
        });
        window.findChild<QAction *>("action_Font")->trigger();
        QCOMPARE(offered, QFontInfo(view->font()).family());
        QVERIFY(offered != missing);
        window.close();
    }
    // The user's choice is kept.
    QCOMPARE(QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"))
                 .value(QStringLiteral("fontfamily"))
                 .toString(),
             missing);
}

void TestMainWindow::waitingScreenSaysWhatTheTerminalWaitsFor()
{
    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto screen = window.findChild<QLabel *>("waitingScreen");
    auto view = window.findChild<OstraView *>();
    QVERIFY(screen);
    QVERIFY(screen->isVisible());
    QVERIFY(screen->text().contains(QStringLiteral("04D8:000A or 00DF")));

    // A device that cannot be opened: the screen says why; the status bar keeps its text.
    const QString unopenable = QStringLiteral("/no/such/folder/ttyACM7");
    window.setPortFinder([unopenable] { return QStringList{unopenable}; });
    QVERIFY(QMetaObject::invokeMethod(&window, "checkConnection"));
    QVERIFY(screen->isVisible());
    QVERIFY(screen->text().contains(unopenable + QStringLiteral(": No such file or directory")));
    QVERIFY(window.statusBar()->currentMessage().startsWith(
        QStringLiteral("the Tarquel Device was not found. (")));
    // Refused access gets the way to it.
    const QString refused
        = WaitingScreen::text(QStringLiteral("ttyACM0: ") + qt_error_string(EACCES));
    QVERIFY(refused.contains(QStringLiteral("dialout")));
    QVERIFY(refused.contains(QStringLiteral("\"Access to the device\"")));
    // Unplugged, it is simply absent again.
    window.setPortFinder([] { return QStringList(); });
    QVERIFY(QMetaObject::invokeMethod(&window, "checkConnection"));
    QVERIFY(screen->text().contains(QStringLiteral("04D8:000A or 00DF")));
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("the Tarquel Device was not found."));

    // The device connects: the views take the place; it goes: the screen is back.
    SimulatedDevice device;
    QVERIFY(device.isValid());
    const QString port = device.portName();
    window.setPortFinder([port] { return QStringList{port}; });
    QVERIFY(QMetaObject::invokeMethod(&window, "checkConnection"));
    QVERIFY(view->isVisible());
    QVERIFY(!screen->isVisible());
    device.hangUp();
    QTRY_VERIFY(!view->isVisible());
    QVERIFY(screen->isVisible());
    QVERIFY(screen->text().contains(QStringLiteral("04D8:000A or 00DF")));
}

void TestMainWindow::keysTypedInTheHexViewReachTheDevice()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    ConnectedWindow terminal(device.portName());
    QVERIFY(terminal.connectDevice());
    terminal.window.findChild<QAction *>("actionHexa_Mode")->setChecked(true);
    HexView *hexView = terminal.hexView();
    QVERIFY(hexView->isVisible());

    QTest::keyClicks(hexView, QStringLiteral("at"));
    QCOMPARE(device.read(2), QByteArray("at"));
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
    // However often it is asked again, the window has closed once.
    window.close();
    window.closeOnQuitSignal();
    QCOMPARE(log.count(QStringLiteral("closeEvent")), 1);
    // The settings were stored on the way out.
    QVERIFY(QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"))
                .contains(QStringLiteral("pos")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
