// What the window remembers between runs, tested as values: the text of a store in, the values
// read out (printed a line each), and the values written back as the store's text; one round
// trip through the real window shows that the window hands over and takes back every value.

#include "app/settings.h"
#include "app/vantorterm.h"
#include "compat/qtcompat.h"
#include "fkeys/functiondlg.h"
#include "support/testenvironment.h"
#include "terminal/commandline.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QCheckBox>
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

QString storePath()
{
    return store().fileName();
}

// Puts text where the store is, as another run (or a hand) would have left it.
bool writeStore(const QByteArray &text)
{
    QDir().mkpath(QFileInfo(storePath()).path());
    QFile file(storePath());
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray storeText()
{
    QFile file(storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(TARQUEL_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString escaped(const QString &text)
{
    QString result = text;
    return result.replace(QLatin1String("\r"), QLatin1String("\\r"))
        .replace(QLatin1String("\n"), QLatin1String("\\n"))
        .replace(QLatin1String("\t"), QLatin1String("\\t"));
}

QString colorText(const QColor &color)
{
    return color.isValid() ? color.name() : QStringLiteral("no colour");
}

// The values, a line each, "key: value"; the function keys that hold something on one line.
QStringList printed(const StoredSettings &values)
{
    const QFont &font = values.font;
    QStringList keys;
    for (int i = 0; i < values.functionKeys.keys.size(); ++i) {
        const FunctionKey &key = values.functionKeys.keys.at(i);
        if (key.key != Qt::Key_F1 + i)
            keys << QStringLiteral("F%1 has code 0x%2").arg(i + 1).arg(key.key, 0, 16);
        if (!key.text.isEmpty())
            keys << QStringLiteral("F%1=%2").arg(i + 1).arg(escaped(key.text));
    }
    if (values.functionKeys.keys.size() != functionKeyCount)
        keys << QStringLiteral("%1 keys").arg(values.functionKeys.keys.size());
    const char *const lineEnds[] = {"none", "CR", "LF", "CR LF"};
    const auto yesNo = [](bool on) {
        return on ? QStringLiteral("yes") : QStringLiteral("no");
    };
    return {
        QStringLiteral("pos: %1,%2").arg(values.position.x()).arg(values.position.y()),
        QStringLiteral("size: %1x%2").arg(values.size.width()).arg(values.size.height()),
        QStringLiteral("toolbar hidden: ") + yesNo(values.toolbarHidden),
        QStringLiteral("font: %1, %2 pt, weight %3%4")
            .arg(font.family())
            .arg(font.pointSize())
            .arg(QtCompat::legacyFontWeight(font))
            .arg(font.style() == QFont::StyleItalic ? QStringLiteral(", italic") : QString()),
        QStringLiteral("text colour: ") + colorText(values.fontColor),
        QStringLiteral("background: ") + colorText(values.backColor),
        QStringLiteral("keys: ") + (keys.isEmpty() ? QStringLiteral("none") : keys.join(' ')),
        QStringLiteral("delay: %1").arg(values.functionKeys.delay),
        QStringLiteral("line delay: %1").arg(values.functionKeys.lineDelay),
        QStringLiteral("whole delay: ") + yesNo(values.functionKeys.paceWhole),
        QStringLiteral("dialog shown: ") + yesNo(values.functionDialogShown),
        QStringLiteral("hex mode: ") + yesNo(values.hexMode),
        QStringLiteral("timestamps: ") + yesNo(values.timestamps),
        QStringLiteral("logging: ") + yesNo(values.logging),
        QStringLiteral("log file: ") + values.logFile,
        QStringLiteral("command line: ") + yesNo(values.commandLineShown),
        QStringLiteral("line end: %1").arg(lineEnds[int(values.lineEnd)]),
        QStringLiteral("hex commands: ") + yesNo(values.commandMode == CommandLine::Mode::Hex),
        QStringLiteral("history: ") + values.commandHistory.join(QLatin1String(" | ")),
    };
}

// What a first run reads, with the lines given in place of those of the same key.
QStringList firstRunWith(const QStringList &lines)
{
    QStringList expected = {
        "pos: 25,25",
        "size: 800x600",
        "toolbar hidden: no",
        "font: Courier New, 10 pt, weight 50",
        "text colour: #ffffff",
        "background: #438865",
        "keys: none",
        "delay: 5",
        "line delay: 0",
        "whole delay: no",
        "dialog shown: no",
        "hex mode: no",
        "timestamps: no",
        "logging: no",
        "log file: ",
        "command line: no",
        "line end: CR",
        "hex commands: no",
        "history: ",
    };
    for (const QString &line : lines) {
        const QString key = line.section(QLatin1Char(':'), 0, 0);
        for (QString &slot : expected) {
            if (slot.section(QLatin1Char(':'), 0, 0) == key)
                slot = line;
        }
    }
    return expected;
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

    void readsWhatTheStoreHolds_data();
    void readsWhatTheStoreHolds();
    void writesEachValueInTheFormEarlierBuildsRead();
    void storedFileIsSharedByBothQtBuilds_data();
    void storedFileIsSharedByBothQtBuilds();
    void geometryRules_data();
    void geometryRules();
    void unusableStoreIsReported_data();
    void unusableStoreIsReported();
    void windowHandsOverAndTakesBackEveryValue();

private:
    TestEnvironment m_environment;
};

void TestSettings::readsWhatTheStoreHolds_data()
{
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<QStringList>("read");

    QTest::newRow("first run: no store") << QByteArray() << firstRunWith({});
    QTest::newRow("every value as a build writes it")
        << QByteArray("[General]\npos=@Point(140 90)\nsize=@Size(700 500)\nviewtoolbar=true\n"
                      "fontfamily=DejaVu Sans Mono\nfontsize=13\nfontweight=75\nfontstyle=true\n"
                      "fontcolor=#0a141e\nbackcolor=#c8d2dc\nF1=AT\\r\\n\nF12=x\\ty\ndelay=250\n"
                      "ShowFunctionDlg=true\nisHexamode=true\ntimestamps=true\nlogging=true\n"
                      "logfile=/var/log/device.log\nlinedelay=40\npacewhole=true\n"
                      "commandline=true\nlineend=lf\ncommandmode=hex\n"
                      "commandhistory=ATI, \"AT+X=\\\"1,2\\\"\"\n")
        << firstRunWith({"pos: 140,90", "size: 700x500", "toolbar hidden: yes",
                         "font: DejaVu Sans Mono, 13 pt, weight 75, italic", "text colour: #0a141e",
                         "background: #c8d2dc", "keys: F1=AT\\r\\n F12=x\\ty", "delay: 250",
                         "dialog shown: yes", "hex mode: yes", "timestamps: yes", "logging: yes",
                         "log file: /var/log/device.log", "line delay: 40", "whole delay: yes",
                         "command line: yes", "line end: LF", "hex commands: yes",
                         "history: ATI | AT+X=\"1,2\""});
    // A hand, or another program, may have written anything.
    QTest::newRow("values no build writes")
        << QByteArray(
               "[General]\ndelay=abc\nfontsize=0\nfontweight=heavy\n"
               "fontcolor=no such colour\nbackcolor=#12345\nF3=ATZ\\r\\n\nsize=@Size(0 500)\n"
               "pos=@Point(0 0)\n")
        << firstRunWith({"delay: 0", "text colour: no colour", "background: no colour",
                         "keys: F3=ATZ\\r\\n"});
    QTest::newRow("weight beyond the scale stays on it")
        << QByteArray("[General]\nfontweight=500\n")
        << firstRunWith({"font: Courier New, 10 pt, weight 99"});
    QTest::newRow("negative delay kept for the sender to bound")
        << QByteArray("[General]\ndelay=-1\n") << firstRunWith({"delay: -1"});
}

void TestSettings::readsWhatTheStoreHolds()
{
    QFETCH(QByteArray, store);
    QFETCH(QStringList, read);
    if (!store.isEmpty())
        QVERIFY(writeStore(store));
    QString problem;
    QCOMPARE(printed(readSettings(&problem)), read);
    QCOMPARE(problem, QString());
}

// Every value as its type, so that earlier builds and any reader of the store's INI take it.
void TestSettings::writesEachValueInTheFormEarlierBuildsRead()
{
    QString problem;
    StoredSettings values = readSettings(&problem);
    values.functionKeys.keys[0].text = QStringLiteral("AT\r\n");
    values.font.setStyle(QFont::StyleOblique);
    QCOMPARE(writeSettings(values), QString());
    const QByteArray text = storeText();
    for (const char *line : {"pos=@Point(25 25)\n",
                             "size=@Size(800 600)\n",
                             "viewtoolbar=false\n",
                             "fontfamily=Courier New\n",
                             "fontsize=10\n",
                             "fontweight=50\n",
                             "fontstyle=true\n",
                             "fontcolor=#ffffff\n",
                             "backcolor=#438865\n",
                             "F1=AT\\r\\n\n",
                             "F12=\n",
                             "delay=5\n",
                             "ShowFunctionDlg=false\n",
                             "isHexamode=false\n",
                             "timestamps=false\n",
                             "logging=false\n",
                             "linedelay=0\n",
                             "pacewhole=false\n",
                             "commandline=false\n",
                             "lineend=cr\n",
                             "commandmode=text\n"})
        QVERIFY2(text.contains(line), line);
    // An oblique face comes back as the italic the style sheet can show.
    QVERIFY(
        printed(readSettings(&problem)).contains("font: Courier New, 10 pt, weight 50, italic"));
}

void TestSettings::storedFileIsSharedByBothQtBuilds_data()
{
    QTest::addColumn<QString>("fixture");
    // The same values in the two forms, each as its writer left it.
    QTest::newRow("raw UTF-8, as the Qt 6 build writes") << "stored.conf";
    QTest::newRow("escapes, as Qt 5 and earlier builds write") << "stored-escaped.conf";
}

// Either build takes over a store the other wrote: it reads every value (text and a family beyond
// ASCII, a weight between two named ones) and writes the store back in the form it writes, the
// entry it does not know included: the Qt 5 build as escapes, which earlier builds read, the Qt 6
// build as UTF-8. The other build may also rewrite the store while this one runs; the entries
// that holds are read again when storing, in that build's form.
void TestSettings::storedFileIsSharedByBothQtBuilds()
{
    QFETCH(QString, fixture);
    const bool qt5 = QT_VERSION_MAJOR < 6;
    const QByteArray ownForm = ::fixture(qt5 ? "stored-escaped.conf" : "stored.conf");
    const QByteArray otherForm = ::fixture(qt5 ? "stored.conf" : "stored-escaped.conf");
    QVERIFY(!ownForm.isEmpty() && !otherForm.isEmpty());
    QVERIFY(writeStore(::fixture(fixture)));

    QString problem;
    const StoredSettings values = readSettings(&problem);
    QCOMPARE(printed(values),
             firstRunWith({"pos: 40,30", "size: 720x520", "toolbar hidden: yes",
                           QString::fromUtf8("font: \uff2d\uff33 \u30b4\u30b7\u30c3\u30af, 13 "
                                             "pt, weight 60, italic"),
                           "text colour: #fafbfc", "background: #102030",
                           QString::fromUtf8("keys: F1=AT\\r\\n F2=\u00b0C \u00e9t\u00e9"),
                           "delay: 250", "dialog shown: yes", "hex mode: yes", "timestamps: yes",
                           QString::fromUtf8("log file: /home/ren\u00e9/x.log"), "line delay: 40",
                           "whole delay: yes", "command line: yes", "line end: CR LF",
                           "hex commands: yes",
                           QString::fromUtf8("history: ATI | AT+CMGS=\"1,2\" | \u00e9t\u00e9")}));
    QVERIFY(values.font.weight() > QFont::Medium && values.font.weight() < QFont::DemiBold);

    QVERIFY(writeStore(otherForm));
    QCOMPARE(writeSettings(values), QString());
    const QByteArray bytes = storeText();
    if (qt5) {
        QVERIFY2(
            std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return uchar(byte) < 0x80; }),
            "the Qt 5 build writes nothing but ASCII");
    }
    QCOMPARE(QString::fromUtf8(bytes), QString::fromUtf8(ownForm));
}

void TestSettings::geometryRules_data()
{
    QTest::addColumn<QPoint>("storedPos");
    QTest::addColumn<QSize>("storedSize");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QSize>("size");
    QTest::newRow("negative position kept")
        << QPoint(-40, 7) << QSize(700, 500) << QPoint(-40, 7) << QSize(700, 500);
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
    const QRect restored = restoredGeometry(storedPos, storedSize);
    QCOMPARE(restored.topLeft(), pos);
    if (size.isValid()) {
        QCOMPARE(restored.size(), size);
        return;
    }
    // Too large for the screen: as wide as the screen allows from its place, and all of it, a
    // title bar's height above it included, on the screen.
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(room.contains(QRect(pos, restored.size() + QSize(0, 20))));
    QCOMPARE(restored.right(), room.right());
}

void TestSettings::unusableStoreIsReported_data()
{
    QTest::addColumn<QString>("kind");
    // What the status bar says at start, and why the store could not be written at the close.
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<QString>("atClose");
    QTest::newRow("store is a folder")
        << "folder"
        << "Can't read the settings (file to open is a directory): "
        << "Can't store the settings (" + qt_error_string(EISDIR) + "): ";
    QTest::newRow("store without permissions")
        << "mode 000"
        << "Can't read the settings (" + qt_error_string(EACCES) + "): "
        << "Can't store the settings (" + qt_error_string(EACCES) + "): ";
    QTest::newRow("store's folder read-only")
        << "read-only folder" << QString()
        << "Can't store the settings (" + qt_error_string(EACCES) + "): ";
    // Told at start; what could be read is kept, and the store is written as usual.
    QTest::newRow("damaged store") << "damaged"
                                   << "The settings were damaged (" << QString();
}

// A store that cannot be read or written is named with the cause, and nothing else changes: the
// defaults apply, and the window closes as always; a box at the close that nobody answers (a
// session ending) does not keep it open.
void TestSettings::unusableStoreIsReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, atStart);
    QFETCH(QString, atClose);
    if ((kind == "mode 000" || kind == "read-only folder") && geteuid() == 0)
        QSKIP("file permissions do not bind the superuser; the folder row covers both messages");

    const QString path = storePath();
    const QString folder = QFileInfo(path).path();
    QVERIFY(QDir().mkpath(folder));
    if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "mode 000" || kind == "damaged") {
        QByteArray text("[General]\ndelay=7\n");
        if (kind == "damaged") {
            std::mt19937 random(1);
            for (int i = 0; i < 200000; ++i)
                text.append(char(random()));
        }
        QVERIFY(writeStore(text));
        if (kind == "mode 000")
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    } else {
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }

    QString closingMessage;
    {
        VantorTerm window;
        window.show();
        const QString status = window.statusBar()->currentMessage();
        if (kind == "damaged") {
            QVERIFY2(status.startsWith(atStart + path + "): ")
                         && status.contains(" values could be read and are kept"),
                     qPrintable(status));
        } else if (!atStart.isEmpty()) {
            QCOMPARE(status, atStart + path);
        } else {
            QCOMPARE(status, QStringLiteral("getting previews settings..."));
        }
        QCOMPARE(window.delay(), kind == "damaged" ? 7 : 5);

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
    if (atClose.isEmpty()) {
        QCOMPARE(closingMessage, QString());
        QCOMPARE(store().value("delay").toString(), QStringLiteral("7"));
        return;
    }
    QCOMPARE(closingMessage, atClose + path);
}

// The window hands every value it keeps to the store at its close and takes it back at the next
// start: the form, the look, the bindings entered through the dialog, and the dialog itself,
// open again and filled from the table; a dialog cancelled before the close stays closed.
void TestSettings::windowHandsOverAndTakesBackEveryValue()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setWeight(QFont::Bold);
    font.setPointSize(13);
    font.setStyle(QFont::StyleItalic);
    {
        VantorTerm window;
        window.show();
        window.move(140, 90);
        window.resize(700, 500);
        window.findChild<QAction *>("action_Toolbar")->setChecked(true);
        window.findChild<QAction *>("actionHexa_Mode")->setChecked(true);
        window.findChild<QAction *>("actionTimestamps")->setChecked(true);
        auto view = window.findChild<OstraView *>();
        view->setViewFont(font);
        view->setFontColor(QColor(10, 20, 30));
        view->setBackColor(QColor(200, 210, 220));
        window.findChild<QAction *>("actionFunction_Settings")->trigger();
        FunctionDlg *dialog = visibleDialog(window);
        QVERIFY(dialog);
        functionKeyEdit(dialog, 0)->setText("AT");
        lineFeedBox(dialog, 0)->setChecked(true);
        functionKeyEdit(dialog, 11)->setText("x\ty");
        delayBox(dialog)->setValue(250);
        dialog->findChild<QPushButton *>("btnApply")->click();
        window.close();
        QVERIFY(!dialog->isVisible());
    }
    QString problem;
    QCOMPARE(
        printed(readSettings(&problem)),
        firstRunWith({"pos: 140,90", "size: 700x500", "toolbar hidden: yes",
                      "font: DejaVu Sans Mono, 13 pt, weight 75, italic", "text colour: #0a141e",
                      "background: #c8d2dc", "keys: F1=AT\\r\\n F12=x\\ty", "delay: 250",
                      "dialog shown: yes", "hex mode: yes", "timestamps: yes"}));

    {
        VantorTerm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), QPoint(140, 90));
        QCOMPARE(window.size(), QSize(700, 500));
        QVERIFY(!window.findChild<QToolBar *>("toolBar")->isVisible());
        QVERIFY(window.findChild<QGroupBox *>("hexaGroup")->isVisible());
        QVERIFY(window.findChild<QAction *>("actionTimestamps")->isChecked());
        const OstraView *view = window.findChild<OstraView *>();
        QCOMPARE(view->viewFont().family(), font.family());
        QCOMPARE(view->viewFont().weight(), QFont::Bold);
        QCOMPARE(view->viewFont().pointSize(), 13);
        QCOMPARE(view->viewFont().style(), QFont::StyleItalic);
        QCOMPARE(view->fontColor(), QColor(10, 20, 30));
        QVERIFY(view->styleSheet().contains("background-color:rgb(200,210,220)"));
        QCOMPARE(window.functionKeys().at(11).text, QStringLiteral("x\ty"));
        FunctionDlg *dialog = visibleDialog(window);
        QVERIFY(dialog);
        QCOMPARE(functionKeyEdit(dialog, 0)->text(), QStringLiteral("AT"));
        QVERIFY(lineFeedBox(dialog, 0)->isChecked());
        QCOMPARE(delayBox(dialog)->value(), 250);
        dialog->close();
        window.close();
    }
    VantorTerm window;
    QVERIFY(!visibleDialog(window));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
