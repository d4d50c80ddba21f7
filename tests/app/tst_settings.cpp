// What the window remembers between runs: defaults on a first run, a full round trip, and what
// a hand-edited store with wrong values gives.

#include "app/vantorterm.h"
#include "compat/qtcompat.h"
#include "fkeys/functiondlg.h"
#include "support/testenvironment.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include <algorithm>
#include <random>

#include <unistd.h>

namespace {

QSettings store()
{
    return QSettings(QStringLiteral("TarquelTerm"), QStringLiteral("Tarquel's Terminal V3.00"));
}

QStringList bindings(const VantorTerm &window)
{
    QStringList texts;
    for (const FunctionKey &key : window.functionKeys())
        texts.append(key.text);
    return texts;
}

FunctionDlg *visibleDialog(const VantorTerm &window)
{
    for (FunctionDlg *dialog : window.findChildren<FunctionDlg *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_environment.clearSettings(); }

    void firstRunGivesDefaults();
    void roundTripBringsEverythingBack();
    void obliqueFontComesBackItalic();
    void storedValuesAreWrittenAsTheirTypes();
    void handWrittenStores();
    void geometryRules_data();
    void geometryRules();
    void hexModeStoredTrue();
    void dialogHiddenAtCloseIsNotReopened();
    void unusableStoreIsReported_data();
    void unusableStoreIsReported();
    void storedFileIsSharedByBothQtBuilds_data();
    void storedFileIsSharedByBothQtBuilds();

private:
    TestEnvironment m_environment;
};

void TestSettings::firstRunGivesDefaults()
{
    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.pos(), QPoint(25, 25));
    QCOMPARE(window.size(), QSize(800, 600));
    QVERIFY(window.findChild<QToolBar *>("toolBar")->isVisible());

    const OstraView *view = window.findChild<OstraView *>();
    QCOMPARE(view->viewFont().family(), QStringLiteral("Courier New"));
    QCOMPARE(view->viewFont().pointSize(), 10);
    QCOMPARE(view->viewFont().weight(), QFont::Normal);
    QCOMPARE(view->viewFont().style(), QFont::StyleNormal);
    QCOMPARE(view->fontColor(), QColor(0xFF, 0xFF, 0xFF));
    QCOMPARE(view->backColor(), QColor(0x43, 0x88, 0x65));
    // A family of equal advance follows the chosen one where this machine's stand-in for Courier
    // New is proportional.
    QVERIFY2(view->styleSheet().startsWith("QTextEdit { font:400 10pt \"Courier New\"")
                 && view->styleSheet().endsWith(
                     ";color:rgb(255,255,255);background-color:rgb(67,136,101); }"),
             qPrintable(view->styleSheet()));

    QCOMPARE(window.functionKeys().size(), 12);
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(window.functionKeys().at(i).key, Qt::Key_F1 + i);
        QVERIFY(window.functionKeys().at(i).text.isEmpty());
    }
    QCOMPARE(window.delay(), 5);
    QVERIFY(!visibleDialog(window));
    QVERIFY(!window.findChild<QAction *>("actionHexa_Mode")->isChecked());
    QVERIFY(!window.findChild<QGroupBox *>("hexaGroup")->isVisible());
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("getting previews settings..."));
}

void TestSettings::roundTripBringsEverythingBack()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setWeight(QFont::Bold);
    font.setPointSize(13);
    font.setStyle(QFont::StyleItalic);
    const QStringList typed = {"AT", "", "ATI", "", "", "", "", "", "", "", "", "x\ty"};
    {
        VantorTerm window;
        window.show();
        window.move(140, 90);
        window.resize(700, 500);
        window.findChild<QAction *>("action_Toolbar")->setChecked(true);
        window.findChild<QAction *>("actionHexa_Mode")->setChecked(true);
        auto view = window.findChild<OstraView *>();
        view->setViewFont(font);
        view->setFontColor(QColor(10, 20, 30));
        view->setBackColor(QColor(200, 210, 220));

        // Bindings go in through the dialog, as the user enters them; F1 and F12 get CR LF.
        window.findChild<QAction *>("actionFunction_Settings")->trigger();
        FunctionDlg *dialog = visibleDialog(window);
        QVERIFY(dialog);
        for (int i = 0; i < 12; ++i)
            functionKeyEdit(dialog, i)->setText(typed.at(i));
        lineFeedBox(dialog, 0)->setChecked(true);
        lineFeedBox(dialog, 11)->setChecked(true);
        delayBox(dialog)->setValue(250);
        dialog->findChild<QPushButton *>("btnApply")->click();
        QVERIFY(dialog->isVisible());
        window.close();
        QVERIFY(!dialog->isVisible());
    }
    QCOMPARE(store().value("ShowFunctionDlg").toBool(), true);

    VantorTerm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), QPoint(140, 90));
    QCOMPARE(window.size(), QSize(700, 500));
    QVERIFY(window.findChild<QAction *>("action_Toolbar")->isChecked());
    QVERIFY(!window.findChild<QToolBar *>("toolBar")->isVisible());
    QVERIFY(window.findChild<QAction *>("actionHexa_Mode")->isChecked());
    QVERIFY(window.findChild<QGroupBox *>("hexaGroup")->isVisible());

    const OstraView *view = window.findChild<OstraView *>();
    QCOMPARE(view->viewFont().family(), font.family());
    QCOMPARE(view->viewFont().weight(), QFont::Bold);
    QCOMPARE(view->viewFont().pointSize(), 13);
    QCOMPARE(view->viewFont().style(), QFont::StyleItalic);
    QCOMPARE(view->fontColor(), QColor(10, 20, 30));
    QCOMPARE(view->backColor(), QColor(200, 210, 220));

    QStringList expected = typed;
    expected[0] += QStringLiteral("\r\n");
    expected[11] += QStringLiteral("\r\n");
    QCOMPARE(bindings(window), expected);
    QCOMPARE(window.delay(), 250);

    // The dialog was open at the close, so it is open again, filled from the loaded table.
    FunctionDlg *dialog = visibleDialog(window);
    QVERIFY(dialog);
    QCOMPARE(functionKeyEdit(dialog, 0)->text(), QStringLiteral("AT"));
    QVERIFY(lineFeedBox(dialog, 0)->isChecked());
    QCOMPARE(functionKeyEdit(dialog, 2)->text(), QStringLiteral("ATI"));
    QVERIFY(!lineFeedBox(dialog, 2)->isChecked());
    QCOMPARE(delayBox(dialog)->value(), 250);
}

void TestSettings::obliqueFontComesBackItalic()
{
    {
        VantorTerm window;
        QFont font(QStringLiteral("Courier New"));
        font.setStyle(QFont::StyleOblique);
        window.findChild<OstraView *>()->setViewFont(font);
        QVERIFY(!window.findChild<OstraView *>()->styleSheet().contains("italic"));
        window.close();
    }
    VantorTerm window;
    QCOMPARE(window.findChild<OstraView *>()->viewFont().style(), QFont::StyleItalic);
    QVERIFY(window.findChild<OstraView *>()->styleSheet().startsWith("QTextEdit { font:italic "));
}

void TestSettings::storedValuesAreWrittenAsTheirTypes()
{
    {
        VantorTerm window;
        window.close();
    }
    QSettings settings = store();
    QCOMPARE(settings.value("fontcolor").toString(), QStringLiteral("#ffffff"));
    QCOMPARE(settings.value("backcolor").toString(), QStringLiteral("#438865"));
    QCOMPARE(settings.value("delay").toString(), QStringLiteral("5"));
    QCOMPARE(settings.value("ShowFunctionDlg").toBool(), false);
    QCOMPARE(settings.value("isHexamode").toBool(), false);
    QCOMPARE(settings.value("viewtoolbar").toBool(), false);
    for (int n = 1; n <= 12; ++n)
        QVERIFY2(settings.contains(QStringLiteral("F%1").arg(n)), "every function key is stored");
    QCOMPARE(settings.value("fontfamily").toString(), QStringLiteral("Courier New"));
    QCOMPARE(settings.value("fontsize").toInt(), 10);
    QCOMPARE(settings.value("fontweight").toInt(), 50);
}

void TestSettings::handWrittenStores()
{
    {
        QSettings settings = store();
        settings.setValue("delay", "abc");
        settings.setValue("fontsize", 0);
        settings.setValue("fontweight", "heavy");
        settings.setValue("fontcolor", "no such colour");
        settings.setValue("backcolor", "#12345");
        settings.setValue("F3", "ATZ\r\n");
    }
    VantorTerm window;
    QCOMPARE(window.delay(), 0);
    const OstraView *view = window.findChild<OstraView *>();
    QCOMPARE(view->viewFont().pointSize(), 10);
    QCOMPARE(view->viewFont().weight(), QFont::Normal);
    // An unparsable text colour leaves the view's own; an unparsable background shows black.
    QCOMPARE(view->fontColor(), QColor(255, 255, 255));
    QVERIFY(view->styleSheet().contains("color:rgb(255,255,255);"));
    QVERIFY(view->styleSheet().contains("background-color:rgb(0,0,0);"));

    QStringList expected;
    for (int i = 0; i < 12; ++i)
        expected.append(QString());
    expected[2] = QStringLiteral("ATZ\r\n");
    QCOMPARE(bindings(window), expected);
    QCOMPARE(window.functionKeys().at(2).key, int(Qt::Key_F3));
    QCOMPARE(window.functionKeys().at(11).key, int(Qt::Key_F12));
}

void TestSettings::geometryRules_data()
{
    QTest::addColumn<QPoint>("storedPos");
    QTest::addColumn<QSize>("storedSize");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QSize>("size");
    QTest::newRow("origin moves to 25,25")
        << QPoint(0, 0) << QSize(700, 500) << QPoint(25, 25) << QSize(700, 500);
    QTest::newRow("negative position kept")
        << QPoint(-40, 7) << QSize(700, 500) << QPoint(-40, 7) << QSize(700, 500);
    QTest::newRow("zero width gives default size")
        << QPoint(10, 10) << QSize(0, 500) << QPoint(10, 10) << QSize(800, 600);
    QTest::newRow("below minimum meets the minimum")
        << QPoint(10, 10) << QSize(300, 200) << QPoint(10, 10) << QSize(640, 480);
    // An invalid expected size stands for the room the screen has for windows.
    QTest::newRow("larger than the screen fits it")
        << QPoint(10, 10) << QSize(24000, 24000) << QPoint(10, 10) << QSize();
    QTest::newRow("largest size fits the screen")
        << QPoint(10, 10) << QSize(INT_MAX, INT_MAX) << QPoint(10, 10) << QSize();
    QTest::newRow("title bar partly on the screen kept")
        << QPoint(-650, 10) << QSize(700, 500) << QPoint(-650, 10) << QSize(700, 500);
    QTest::newRow("title bar above the screen goes back")
        << QPoint(10, -30) << QSize(700, 500) << QPoint(25, 25) << QSize(700, 500);
    QTest::newRow("far off every screen goes back")
        << QPoint(-100000, -100000) << QSize(700, 500) << QPoint(25, 25) << QSize(700, 500);
    QTest::newRow("largest position goes back")
        << QPoint(INT_MAX, INT_MAX) << QSize(24000, 24000) << QPoint(25, 25) << QSize();
}

void TestSettings::geometryRules()
{
    QFETCH(QPoint, storedPos);
    QFETCH(QSize, storedSize);
    QFETCH(QPoint, pos);
    QFETCH(QSize, size);
    {
        QSettings settings = store();
        settings.setValue("pos", storedPos);
        settings.setValue("size", storedSize);
    }
    VantorTerm window;
    QCOMPARE(window.pos(), pos);
    if (!size.isValid()) {
        // Too large for the screen: as wide as the screen allows from its place, and all of it,
        // a title bar's height above it included, on the screen.
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(room.contains(QRect(pos, window.size() + QSize(0, 20))));
        QCOMPARE(pos.x() + window.width() - 1, room.right());
        size = window.size();
    }
    QCOMPARE(window.size(), size);
    // What is stored back is what the window has, so a hostile store does not come back.
    window.close();
    QCOMPARE(store().value("pos").toPoint(), pos);
    QCOMPARE(store().value("size").toSize(), size);
}

void TestSettings::hexModeStoredTrue()
{
    store().setValue("isHexamode", true);
    VantorTerm window;
    window.show();
    QVERIFY(window.findChild<QAction *>("actionHexa_Mode")->isChecked());
    QVERIFY(window.findChild<QGroupBox *>("hexaGroup")->isVisible());
}

void TestSettings::dialogHiddenAtCloseIsNotReopened()
{
    {
        VantorTerm window;
        window.show();
        window.findChild<QAction *>("actionFunction_Settings")->trigger();
        FunctionDlg *dialog = visibleDialog(window);
        QVERIFY(dialog);
        dialog->findChild<QDialogButtonBox *>("buttonBox")
            ->button(QDialogButtonBox::Cancel)
            ->click();
        window.close();
    }
    QCOMPARE(store().value("ShowFunctionDlg").toBool(), false);
    VantorTerm window;
    QVERIFY(!visibleDialog(window));
}

void TestSettings::unusableStoreIsReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<bool>("storeFails");
    QTest::newRow("store is a folder") << "folder"
                                       << "Can't read the settings (" << true;
    QTest::newRow("store without permissions") << "mode 000"
                                               << "Can't read the settings (" << true;
    QTest::newRow("store's folder read-only") << "read-only folder" << QString() << true;
    // Told once, at start; what could be read is kept, and the store is written as usual.
    QTest::newRow("damaged store") << "damaged"
                                   << "The settings were damaged (" << false;
}

// A store that cannot be read or written is named, with the cause, and nothing else changes:
// the defaults apply and the window closes as always.
void TestSettings::unusableStoreIsReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, atStart);
    QFETCH(bool, storeFails);
    if ((kind == "mode 000" || kind == "read-only folder") && geteuid() == 0)
        QSKIP("file permissions do not bind the superuser; the folder row covers both messages");

    const QString path = store().fileName();
    const QString folder = QFileInfo(path).path();
    QVERIFY(QDir().mkpath(folder));
    if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "mode 000" || kind == "damaged") {
        // Written past the store's own cache in this process, as another run would have.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\ndelay=7\n");
        if (kind == "damaged") {
            std::mt19937 random(1);
            for (int i = 0; i < 200000; ++i)
                file.putChar(char(random()));
        }
        file.close();
        if (kind == "mode 000")
            QVERIFY(file.setPermissions(QFileDevice::Permissions()));
    } else {
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }

    QString closingMessage;
    {
        VantorTerm window;
        window.show();
        const QString status = window.statusBar()->currentMessage();
        if (!atStart.isEmpty()) {
            QVERIFY2(status.startsWith(atStart) && status.contains(path), qPrintable(status));
            QVERIFY(status.size() > atStart.size() + path.size() + 3);
        } else {
            QCOMPARE(status, QStringLiteral("getting previews settings..."));
        }
        QCOMPARE(window.delay(), kind == "damaged" ? 7 : 5);
        QCOMPARE(window.size(), QSize(800, 600));

        // Nobody answers it here: a quit signal (a session ending) closes it.
        const QPointer<QTimer> waiting
            = whenDialogOpens<QMessageBox>([&closingMessage, &window](QMessageBox *box) {
                  closingMessage = box->text();
                  window.closeOnQuitSignal();
              });
        QVERIFY(window.close());
        delete waiting;
    }
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!storeFails) {
        QCOMPARE(closingMessage, QString());
        QCOMPARE(store().value("delay").toString(), QStringLiteral("7"));
        return;
    }
    QVERIFY2(closingMessage.startsWith("Can't store the settings (")
                 && closingMessage.endsWith("): " + path)
                 && closingMessage.size() > QString("Can't store the settings (): " + path).size(),
             qPrintable(closingMessage));
}

void TestSettings::storedFileIsSharedByBothQtBuilds_data()
{
    QTest::addColumn<QString>("fixture");
    // The same values in the two forms, each as its writer left it.
    QTest::newRow("raw UTF-8, as the Qt 6 build writes") << "stored.conf";
    QTest::newRow("escapes, as Qt 5 and earlier builds write") << "stored-escaped.conf";
}

// Either build takes over a store the other wrote: it reads every value (geometry, colours, a
// weight between two named ones, text and a family beyond ASCII) and writes the store back in the
// form it writes, the entry it does not know included: the Qt 5 build as escapes, which earlier
// builds read, the Qt 6 build as UTF-8. The other build may also rewrite the store while this
// one runs; the entries that holds are read again at close, in that build's form.
void TestSettings::storedFileIsSharedByBothQtBuilds()
{
    QFETCH(QString, fixture);
    const auto fixtureBytes = [](const char *name) {
        QFile file(QStringLiteral(TARQUEL_TEST_DATA "/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const bool qt5 = QT_VERSION_MAJOR < 6;
    const QByteArray ownForm = fixtureBytes(qt5 ? "stored-escaped.conf" : "stored.conf");
    const QByteArray otherForm = fixtureBytes(qt5 ? "stored.conf" : "stored-escaped.conf");
    QVERIFY(!ownForm.isEmpty() && !otherForm.isEmpty());
    const QString path = store().fileName();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    const auto writeStore = [&path](const QByteArray &bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(writeStore(fixtureBytes(qPrintable(fixture))));
    {
        VantorTerm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), QPoint(40, 30));
        QCOMPARE(window.size(), QSize(720, 520));
        const OstraView *view = window.findChild<OstraView *>();
        QCOMPARE(view->viewFont().family(),
                 QString::fromUtf8("\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"));
        QCOMPARE(QtCompat::legacyFontWeight(view->viewFont()), 60);
        QVERIFY(view->viewFont().weight() > QFont::Medium);
        QVERIFY(view->viewFont().weight() < QFont::DemiBold);
        QCOMPARE(view->fontColor(), QColor(0xfa, 0xfb, 0xfc));
        QCOMPARE(view->backColor(), QColor(0x10, 0x20, 0x30));
        QCOMPARE(bindings(window).mid(0, 3),
                 QStringList({"AT\r\n", QString::fromUtf8("\u00b0C \u00e9t\u00e9"), ""}));
        QCOMPARE(window.delay(), 250);
        QVERIFY(visibleDialog(window));
        QVERIFY(window.findChild<QAction *>("actionTimestamps")->isChecked());
        QVERIFY(writeStore(otherForm));
        window.close();
    }
    QFile rewritten(path);
    QVERIFY(rewritten.open(QIODevice::ReadOnly));
    const QByteArray bytes = rewritten.readAll();
    if (qt5) {
        QVERIFY2(
            std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return uchar(byte) < 0x80; }),
            "the Qt 5 build writes nothing but ASCII");
    }
    QCOMPARE(QString::fromUtf8(bytes), QString::fromUtf8(ownForm));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
