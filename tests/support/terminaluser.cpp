#include "terminaluser.h"

#include "app/vantorterm.h"
#include "devsim/connectedwindow.h"
#include "fkeys/functiondlg.h"
#include "support/testenvironment.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <QToolButton>

namespace {

// Typed behind what a story waits for: when it reaches the device, everything before it has.
constexpr char sentinel = '\x1f';

QAction *action(const VantorTerm &window, const char *name)
{
    auto found = window.findChild<QAction *>(QLatin1String(name));
    Q_ASSERT(found);
    return found;
}

// Runs trigger; a modal message box it opens is answered, and its text returned.
template <typename Trigger>
QString answeringBox(Trigger trigger)
{
    QString text;
    QPointer<QTimer> waiting = whenDialogOpens<QMessageBox>([&text](QMessageBox *box) {
        text = box->text();
        box->accept();
    });
    trigger();
    delete waiting;
    return text;
}

} // namespace

TerminalUser::TerminalUser()
    : m_device(std::make_unique<SimulatedDevice>())
{
    start();
}

TerminalUser::~TerminalUser() = default;

bool TerminalUser::start()
{
    m_terminal = std::make_unique<ConnectedWindow>(m_device->portName());
    m_terminal->stopTicks();
    // The prompts answer with the file the story names next.
    const auto nextFile = [this](QWidget *) {
        if (m_whileChoosing)
            std::exchange(m_whileChoosing, {})();
        return m_nextFile;
    };
    m_terminal->window.setLogFileNamePrompt(nextFile);
    m_terminal->window.setSendFileNamePrompt(nextFile);
    m_terminal->window.setCaptureFileNamePrompt(nextFile);
    m_terminal->connectDevice();
    return isConnected();
}

bool TerminalUser::isConnected() const
{
    return m_terminal && view()->isEnabled();
}

bool TerminalUser::plugIn()
{
    if (!m_device->isValid())
        m_device = std::make_unique<SimulatedDevice>();
    m_terminal->ports = QStringList{m_device->portName()};
    m_terminal->tick();
    return isConnected();
}

void TerminalUser::unplug()
{
    m_terminal->ports.clear();
    m_terminal->tick();
}

void TerminalUser::hangUp()
{
    m_device->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!isConnected(), 5000);
}

bool TerminalUser::restart()
{
    quit();
    return start();
}

void TerminalUser::quit()
{
    if (!m_terminal)
        return;
    m_terminal->window.close();
    m_terminal.reset();
}

bool TerminalUser::deviceSends(const QByteArray &bytes)
{
    // Counted as received, not as held: at its limit the hex view lets its oldest bytes go.
    const qint64 before = hexView()->receivedSize();
    if (!m_device->send(bytes))
        return false;
    QDeadlineTimer deadline(5000);
    while (hexView()->receivedSize() < before + bytes.size() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return hexView()->receivedSize() >= before + bytes.size();
}

QByteArray TerminalUser::deviceReceived(int count, int timeoutMs)
{
    return m_device->read(count, timeoutMs);
}

QByteArray TerminalUser::deviceReceivedSoFar()
{
    QTest::sendKeyEvent(QTest::Click, view(), Qt::Key_unknown, QString(QLatin1Char(sentinel)),
                        Qt::NoModifier);
    QByteArray received;
    QDeadlineTimer deadline(5000);
    while (!received.endsWith(sentinel) && !deadline.hasExpired())
        received += m_device->read(1, 100);
    if (received.endsWith(sentinel))
        received.chop(1);
    return received;
}

QList<TerminalUser::Arrival> TerminalUser::deviceArrivals(int count, int timeoutMs)
{
    QList<Arrival> arrivals;
    QElapsedTimer clock;
    clock.start();
    // Whatever the first look finds may have come at any time before it.
    qint64 lastLook = -3600 * 1000;
    QDeadlineTimer deadline(timeoutMs);
    while (arrivals.size() < count && !deadline.hasExpired()) {
        // A byte this look does not find comes after the look began.
        const qint64 look = clock.elapsed();
        const QByteArray found = m_device->readAvailable();
        const qint64 seen = clock.elapsed();
        for (const char byte : found)
            arrivals.append({byte, lastLook, seen});
        lastLook = look;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return arrivals;
}

void TerminalUser::type(const QString &text)
{
    for (const QChar character : text) {
        QTest::sendKeyEvent(QTest::Click, view(), Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
    }
}

void TerminalUser::pressKey(int key)
{
    QTest::keyClick(view(), Qt::Key(key));
}

void TerminalUser::pressKey(int key, const QString &text, Qt::KeyboardModifiers modifiers)
{
    QTest::sendKeyEvent(QTest::Click, view(), Qt::Key(key), text, modifiers);
}

void TerminalUser::paste(const QString &text)
{
    QApplication::clipboard()->setText(text);
    view()->paste();
}

void TerminalUser::changeFunctionSettings(const std::function<void(QWidget *dialog)> &change)
{
    action(window(), "actionFunction_Settings")->trigger();
    FunctionDlg *dialog = nullptr;
    for (FunctionDlg *candidate : window().findChildren<FunctionDlg *>())
        dialog = candidate->isVisible() ? candidate : dialog;
    Q_ASSERT(dialog);
    change(dialog);
    auto box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

void TerminalUser::bind(int n, const QString &text, bool lineFeed, int delay)
{
    changeFunctionSettings([&](QWidget *dialog) {
        functionKeyEdit(dialog, n - 1)->setText(text);
        lineFeedBox(dialog, n - 1)->setChecked(lineFeed);
        if (delay >= 0)
            delayBox(dialog)->setValue(delay);
    });
}

void TerminalUser::setDelay(int ms)
{
    const FunctionKey first = window().functionKeys().value(0);
    bind(1, first.text.endsWith(QLatin1String("\r\n")) ? first.text.chopped(2) : first.text,
         first.text.endsWith(QLatin1String("\r\n")), ms);
}

void TerminalUser::setLineDelay(int ms)
{
    changeFunctionSettings([ms](QWidget *dialog) {
        dialog->findChild<QSpinBox *>(QStringLiteral("spinBox_lineDelay"))->setValue(ms);
    });
}

void TerminalUser::setWholeDelayPace(bool on)
{
    changeFunctionSettings([on](QWidget *dialog) {
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_pace"))->setChecked(on);
    });
}

void TerminalUser::setCommandLine(bool on)
{
    action(window(), "actionCommand_Line")->setChecked(on);
}

void TerminalUser::enterCommand(const QString &text)
{
    for (const QChar character : text) {
        QTest::sendKeyEvent(QTest::Click, commandLine(), Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
    }
    QTest::keyClick(commandLine(), Qt::Key_Return);
}

void TerminalUser::pressInCommandLine(int key)
{
    QTest::keyClick(commandLine(), Qt::Key(key));
}

void TerminalUser::setLineEnd(const QString &name)
{
    auto choice = window().findChild<QComboBox *>(QStringLiteral("commandLineEnd"));
    choice->setCurrentIndex(choice->findText(name));
}

void TerminalUser::setCommandMode(const QString &name)
{
    auto choice = window().findChild<QComboBox *>(QStringLiteral("commandMode"));
    choice->setCurrentIndex(choice->findText(name));
}

QString TerminalUser::commandLineText() const
{
    return commandLine()->text();
}

bool TerminalUser::commandLineHasFocus() const
{
    return commandLine()->isVisible() && window().focusWidget() == commandLine();
}

bool TerminalUser::commandLineShownWrong() const
{
    return commandLine()->palette().color(QPalette::Text)
           != QApplication::palette(commandLine()).color(QPalette::Text);
}

QString TerminalUser::commandLineToolTip() const
{
    return commandLine()->toolTip();
}

bool TerminalUser::viewHasFocus() const
{
    return window().focusWidget() == view();
}

QLineEdit *TerminalUser::commandLine() const
{
    auto line = window().findChild<QLineEdit *>(QStringLiteral("commandLine"));
    Q_ASSERT(line);
    return line;
}

void TerminalUser::setHexMode(bool on)
{
    action(window(), "actionHexa_Mode")->setChecked(on);
}

bool TerminalUser::hexViewShown() const
{
    return hexView()->isVisible();
}

void TerminalUser::setTimestamps(bool on)
{
    action(window(), "actionTimestamps")->setChecked(on);
}

void TerminalUser::clearScreen()
{
    action(window(), "action_Clear_Screen")->trigger();
}

void TerminalUser::limitHexView(qint64 memory, qint64 file)
{
    HexBuffer::Limits limits;
    limits.memory = memory;
    limits.file = file;
    limits.keepFree = 0;
    limits.folder = filePath(QStringLiteral("cache"));
    hexView()->setLimits(limits);
}

QString TerminalUser::logTo(const QString &fileName)
{
    QAction *log = action(window(), "actionLog_to_File");
    if (log->isChecked())
        stopLogging();
    m_nextFile = fileName;
    return answeringBox([log] { log->trigger(); });
}

void TerminalUser::stopLogging()
{
    QAction *log = action(window(), "actionLog_to_File");
    if (log->isChecked())
        log->trigger();
}

bool TerminalUser::isLogging() const
{
    return action(window(), "actionLog_to_File")->isChecked();
}

QString TerminalUser::logLabel() const
{
    auto label = window().findChild<QLabel *>(QStringLiteral("logStatus"));
    return label && label->isVisible() ? label->text() : QString();
}

QString TerminalUser::sendFile(const QString &fileName, const std::function<void()> &whileChoosing)
{
    m_nextFile = fileName;
    m_whileChoosing = whileChoosing;
    return answeringBox([this] { action(window(), "actionSend_File")->trigger(); });
}

bool TerminalUser::stopSending()
{
    const bool shown = sendProgressShown();
    QTest::mouseClick(window().findChild<QToolButton *>(QStringLiteral("stopSending")),
                      Qt::LeftButton);
    return shown;
}

bool TerminalUser::sendProgressShown() const
{
    auto progress = window().findChild<QWidget *>(QStringLiteral("sendProgress"));
    return progress && progress->isVisible();
}

QString TerminalUser::sendProgressText() const
{
    auto progress = window().findChild<QWidget *>(QStringLiteral("sendProgress"));
    return sendProgressShown() ? progress->findChild<QLabel *>()->text() : QString();
}

QString TerminalUser::capture(const QString &fileName)
{
    m_nextFile = fileName;
    return answeringBox([this] { action(window(), "actionCa_pture")->trigger(); });
}

QString TerminalUser::status() const
{
    return window().statusBar()->currentMessage();
}

QStringList TerminalUser::takeWarnings()
{
    QStringList texts;
    for (QMessageBox *box : window().findChildren<QMessageBox *>()) {
        if (!box->isVisible() || box->isModal())
            continue;
        texts << box->text();
        box->close();
    }
    return texts;
}

QString TerminalUser::textShown() const
{
    view()->showAllReceived();
    return view()->screen().text();
}

QByteArray TerminalUser::hexHeld() const
{
    return hexView()->data();
}

QString TerminalUser::filePath(const QString &name) const
{
    return m_files.filePath(name);
}

VantorTerm &TerminalUser::window() const
{
    return m_terminal->window;
}

OstraView *TerminalUser::view() const
{
    return m_terminal->view();
}

HexView *TerminalUser::hexView() const
{
    return m_terminal->hexView();
}
