#include "terminaluser.h"

#include "app/vantorterm.h"
#include "devsim/connectedwindow.h"
#include "fkeys/functiondlg.h"
#include "support/testenvironment.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
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

void TerminalUser::start()
{
    m_terminal = std::make_unique<ConnectedWindow>(m_device->portName());
    m_terminal->stopTicks();
    // The prompts answer with the file the story names next.
    const auto nextFile = [this](QWidget *) {
        return m_nextFile;
    };
    m_terminal->window.setLogFileNamePrompt(nextFile);
    m_terminal->window.setSendFileNamePrompt(nextFile);
    m_terminal->window.setCaptureFileNamePrompt(nextFile);
    m_terminal->connectDevice();
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
    start();
    return isConnected();
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

void TerminalUser::paste(const QString &text)
{
    QApplication::clipboard()->setText(text);
    view()->paste();
}

void TerminalUser::bind(int n, const QString &text, bool lineFeed, int delay)
{
    action(window(), "actionFunction_Settings")->trigger();
    FunctionDlg *dialog = nullptr;
    for (FunctionDlg *candidate : window().findChildren<FunctionDlg *>())
        dialog = candidate->isVisible() ? candidate : dialog;
    Q_ASSERT(dialog);
    functionKeyEdit(dialog, n - 1)->setText(text);
    lineFeedBox(dialog, n - 1)->setChecked(lineFeed);
    if (delay >= 0)
        delayBox(dialog)->setValue(delay);
    auto box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

void TerminalUser::setDelay(int ms)
{
    const FunctionKey first = window().functionKeys().value(0);
    bind(1, first.text.endsWith(QLatin1String("\r\n")) ? first.text.chopped(2) : first.text,
         first.text.endsWith(QLatin1String("\r\n")), ms);
}

void TerminalUser::setHexMode(bool on)
{
    action(window(), "actionHexa_Mode")->setChecked(on);
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

QString TerminalUser::sendFile(const QString &fileName)
{
    m_nextFile = fileName;
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
    return view()->toPlainText();
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
