// Receive-path benchmark: drives the real main window through a pty device and prints, per
// scenario, how fast the terminal absorbs what the device sends, the CPU time that costs, the
// longest stall of its event loop (the worst lateness of a 10 ms timer) and its peak memory.
//
// Without arguments every scenario runs in a process of its own, so that each peak-memory
// figure is that scenario's alone, and the per-batch debug lines are discarded. With scenario
// names as arguments (see usage()) those run in this process and the debug lines go to standard
// error.

#include "pacedstream.h"
#include "ptydevice.h"

#include "devsim/connectedwindow.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"
#include "terminal/terminalconstants.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

static void registerImages()
{
    Q_INIT_RESOURCE(tarquel);
}

namespace {

const qint64 megabyte = 1000 * 1000;

struct Scenario
{
    QString name;
    QString description;
    std::function<QByteArray()> pattern;
    qint64 total;
    int chunk;
    int intervalUs;
    bool hexMode;
    int timeLimitMs;
    // Runs for timeLimitMs whatever it absorbs and reports how the rate and memory develop.
    bool timed = false;
    // Types a key every 500 ms while the device streams, and reports how late it reaches it.
    bool keys = false;
    // The device at its own rate (PacedStream) for timeLimitMs: reports the share of a core the
    // terminal used, the frames it drew and how long the screen trailed what arrived.
    bool paced = false;
    bool lineFeeds = true;
    // The debug lines off as the desktop entry starts the program, instead of on as by default.
    bool desktopLogging = false;
    // Log to File on, into a throw-away file.
    bool logFile = false;
    // Timestamps on: each line of the text view (and of the log) starts with its time.
    bool timestamps = false;
};

// What packaging/tarquel-terminal.desktop sets in QT_LOGGING_RULES.
const char desktopLoggingRules[] = "tarquel.receive.debug=false\ntarquel.transmit.debug=false";

const int keyIntervalMs = 500;

// 70 characters and CR LF, numbered so that no two neighbouring lines are alike.
QByteArray textLines()
{
    QByteArray lines;
    for (int n = 0; n < 1000; ++n) {
        QByteArray line = "line " + QByteArray::number(n).rightJustified(6, '0') + ' ';
        while (line.size() < 70)
            line.append(char('A' + (line.size() + n) % 26));
        lines += line + "\r\n";
    }
    return lines;
}

QByteArray textWithoutLineFeed()
{
    QByteArray text;
    for (int n = 0; n < 65536; ++n)
        text.append(char(0x20 + n % 95));
    return text;
}

// The same lines joined by blanks: prose from a device that never sends a line feed.
QByteArray textWithBlanks()
{
    QByteArray text = textLines();
    text.replace("\r\n", " ");
    return text;
}

// The same lines ended by CR alone, which the view drops: one endless line.
QByteArray textWithCrOnly()
{
    QByteArray text = textLines();
    text.replace("\r\n", "\r");
    return text;
}

QByteArray randomBytes()
{
    std::mt19937 generator(20240601);
    QByteArray bytes(1 << 20, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator() & 0xff);
    return bytes;
}

// Base64 without line breaks: no blank anywhere, the hardest text for line breaking.
QByteArray base64Text()
{
    return randomBytes().left(3 * 65536).toBase64();
}

QList<Scenario> scenarios()
{
    const qint64 endless = qint64(1) << 40;
    // USB full speed: about 1.2 MB/s, here 1200 bytes every millisecond.
    const int fullSpeedChunk = PacedStream::chunk;
    const auto paced = [endless](const QString &name, const QString &description, bool lineFeeds,
                                 bool hexMode, bool desktopLogging, bool logFile = false) {
        Scenario scenario{name,
                          description,
                          [lineFeeds] { return PacedStream::text(lineFeeds); },
                          endless,
                          PacedStream::chunk,
                          PacedStream::intervalUs,
                          hexMode,
                          20000};
        scenario.paced = true;
        scenario.lineFeeds = lineFeeds;
        scenario.desktopLogging = desktopLogging;
        scenario.logFile = logFile;
        return scenario;
    };
    const auto logged = [](Scenario scenario, const QString &name) {
        scenario.name = name;
        scenario.description += QStringLiteral(", Log to File on");
        scenario.logFile = true;
        return scenario;
    };
    const auto stamped = [](Scenario scenario, const QString &name) {
        scenario.name = name;
        scenario.description += QStringLiteral(", Timestamps on");
        scenario.timestamps = true;
        return scenario;
    };
    const Scenario linesHexOff{"a-hexoff", "20 MB of 70-character lines, hex mode off",
                               textLines,  20 * megabyte,
                               4096,       0,
                               false,      120000};
    const Scenario textWithoutEnd{"f-text",
                                  "text with blanks, never a line feed, hex mode on",
                                  textWithBlanks,
                                  endless,
                                  4096,
                                  0,
                                  true,
                                  60000,
                                  true};
    const Scenario pacedHex = paced(
        "p-hex", "lines at 1.2 MB/s in 1 ms frames, hex shown, desktop logging", true, true, true);
    return {
        linesHexOff,
        logged(linesHexOff, "a-log"),
        stamped(linesHexOff, "a-stamps"),
        {"a-hexon", "20 MB of 70-character lines, hex mode on", textLines, 20 * megabyte, 4096, 0,
         true, 120000},
        {"b", "2 MB without a line feed, hex mode on", textWithoutLineFeed, 2 * megabyte, 4096, 0,
         true, 60000},
        {"c", "5 MB of random bytes, hex mode on", randomBytes, 5 * megabyte, 4096, 0, true,
         120000},
        {"d", "64-byte packets every 1 ms for 10 s, hex mode on", textLines, 64 * 10000, 64, 1000,
         true, 30000},
        textWithoutEnd,
        logged(textWithoutEnd, "f-log"),
        {"f-base64", "base64, never a line feed, hex mode on", base64Text, endless, 4096, 0, true,
         60000, true},
        {"f-cr", "70-character lines ended by CR only, hex mode on", textWithCrOnly, endless, 4096,
         0, true, 60000, true},
        {"k-lines", "keys while 70-character lines stream at 1.2 MB/s, hex mode on", textLines,
         endless, fullSpeedChunk, 1000, true, 30000, false, true},
        {"k-nolf", "keys while base64 without line feed streams at 1.2 MB/s, hex mode on",
         base64Text, endless, fullSpeedChunk, 1000, true, 30000, false, true},
        paced("p-lines", "lines at 1.2 MB/s in 1 ms frames, hex off, desktop logging", true, false,
              true),
        pacedHex,
        stamped(paced("p-lines", "lines at 1.2 MB/s in 1 ms frames, hex off, desktop logging", true,
                      false, true),
                "p-stamps"),
        stamped(logged(pacedHex, "p-all"), "p-all"),
        paced("p-nolf", "no line feed at 1.2 MB/s in 1 ms frames, hex off, desktop logging", false,
              false, true),
        paced("p-lines-log", "lines at 1.2 MB/s in 1 ms frames, hex off, debug lines on", true,
              false, false),
        paced("p-hex-log", "lines at 1.2 MB/s in 1 ms frames, hex shown, debug lines on", true,
              true, false),
        paced("p-lines-file",
              "lines at 1.2 MB/s in 1 ms frames, hex off, desktop logging, Log to File on", true,
              false, true, true),
    };
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double peakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024 / megabyte;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

qint64 currentRssBytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

// Counts the receive path's debug lines (one a batch) and passes every message on to standard
// error, as the toolkit's own handler would.
int batchCount = 0;
void countBatches(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QLatin1String("VantorTerm::readComm()")))
        ++batchCount;
    const QByteArray text = message.toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
}

// Records each paint of the text view, when it began and how many bytes of the paced stream its
// newest text shows, and counts the hex view's paints.
class PaintRecorder : public QObject
{
public:
    struct Paint
    {
        qint64 timeNs;
        qint64 shown;
    };

    PaintRecorder(OstraView *text, HexView *hex, const PtyDevice &device, bool lineFeeds)
        : m_text(text)
        , m_hex(hex)
        , m_device(device)
        , m_lineFeeds(lineFeeds)
    {
        paints.reserve(100000);
        text->viewport()->installEventFilter(this);
        hex->viewport()->installEventFilter(this);
    }
    ~PaintRecorder() override
    {
        m_text->viewport()->removeEventFilter(this);
        m_hex->viewport()->removeEventFilter(this);
    }

    std::vector<Paint> paints;
    int hexPaints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        if (watched == m_hex->viewport()) {
            ++hexPaints;
            return false;
        }
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const QTextBlock last = m_text->document()->lastBlock();
        const QTextBlock previous = last.previous();
        const qint64 shown
            = PacedStream::bytesShown(previous.isValid() ? previous.text() : QString(), last.text(),
                                      m_lineFeeds, m_device.sent());
        paints.push_back(
            {std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), shown});
        return false;
    }

private:
    OstraView *m_text;
    HexView *m_hex;
    const PtyDevice &m_device;
    bool m_lineFeeds;
};

// For each write of the device, how long until a paint of the text view showed its bytes; writes
// that no paint showed before the end are left out.
std::vector<double> screenLagMs(const std::vector<PtyDevice::WriteMark> &writes,
                                const std::vector<PaintRecorder::Paint> &paints)
{
    std::vector<double> lags;
    size_t paint = 0;
    for (const PtyDevice::WriteMark &write : writes) {
        while (paint < paints.size() && paints[paint].shown < write.sent)
            ++paint;
        if (paint == paints.size())
            break;
        lags.push_back(double(qMax<qint64>(0, paints[paint].timeNs - write.timeNs)) / 1e6);
    }
    return lags;
}

// Runs the event loop for ms milliseconds.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The real main window, its settings kept out of the user's store, connected to device.
class Terminal
{
public:
    explicit Terminal(const PtyDevice &device, bool hexMode, bool logFile = false,
                      bool timestamps = false)
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        m_window = std::make_unique<ConnectedWindow>(device.portName());
        m_window->connectDevice();
        m_window->window.findChild<QAction *>(QStringLiteral("actionHexa_Mode"))
            ->setChecked(hexMode);
        m_window->window.findChild<QAction *>(QStringLiteral("actionTimestamps"))
            ->setChecked(timestamps);
        if (logFile) {
            const QString path = m_settings.filePath(QStringLiteral("device.log"));
            m_window->window.setLogFileNamePrompt([path](QWidget *) { return path; });
            m_window->window.findChild<QAction *>(QStringLiteral("actionLog_to_File"))->trigger();
        }
        hex = m_window->hexView();
        text = m_window->view();
        settle(300);
    }

    qint64 held() const { return hex->dataSize(); }
    bool connected() const { return text->isEnabled(); }

    HexView *hex = nullptr;
    OstraView *text = nullptr;

private:
    QTemporaryDir m_settings;
    // Made once the settings store is in place.
    std::unique_ptr<ConnectedWindow> m_window;
};

// What a timed run saw at the end of each of its slices.
struct Sample
{
    double seconds;
    qint64 sent;
    qint64 held;
    qint64 rss;
};

int runStream(const Scenario &scenario)
{
    PtyDevice device;
    Terminal terminal(device, scenario.hexMode, scenario.logFile, scenario.timestamps);
    if (!device.isValid() || !terminal.connected()) {
        std::printf("%-9s could not connect the terminal to a pty\n", qPrintable(scenario.name));
        return 1;
    }

    QElapsedTimer wall;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    qint64 lastTick = 0;
    qint64 worstStallUs = 0;
    // On a busy machine a stall may be time the process waited for a core; the CPU time the
    // event loop's thread used between two ticks shows what the terminal's own work took.
    double lastTickCpu = 0;
    double worstBusy = 0;
    // Six slices of a timed run; the first ends at 10 s for a run of 60 s.
    const qint64 sliceUs = qint64(scenario.timeLimitMs) * 1000 / 6;
    std::vector<Sample> samples;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = wall.nsecsElapsed() / 1000;
        worstStallUs = qMax(worstStallUs, now - lastTick - 10000);
        lastTick = now;
        const double cpuNow = threadCpuSeconds();
        worstBusy = qMax(worstBusy, cpuNow - lastTickCpu);
        lastTickCpu = cpuNow;
        if (scenario.timed && now >= sliceUs * qint64(samples.size() + 1)) {
            samples.push_back(
                {double(now) / 1e6, device.sent(), terminal.held(), currentRssBytes()});
        }
        if (terminal.held() >= scenario.total || now / 1000 > scenario.timeLimitMs)
            loop.quit();
    });

    // A person typing: the key is queued for the window as the window system would, and timed
    // until its byte is on the device's side of the pty.
    std::vector<double> keyMs;
    std::atomic<bool> typing{scenario.keys};
    std::thread typist;
    if (scenario.keys) {
        typist = std::thread([&] {
            while (typing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(keyIntervalMs));
                if (!typing)
                    break;
                const auto sent = std::chrono::steady_clock::now();
                QCoreApplication::postEvent(terminal.text,
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_K,
                                                          Qt::NoModifier, QStringLiteral("k")));
                const bool arrived = device.awaitByte('k', 10000);
                const std::chrono::duration<double, std::milli> late
                    = std::chrono::steady_clock::now() - sent;
                keyMs.push_back(arrived ? late.count() : 10000.0);
            }
        });
    }

    std::unique_ptr<PaintRecorder> recorder;
    if (scenario.paced) {
        device.keepWriteMarks(scenario.timeLimitMs + 1000);
        recorder = std::make_unique<PaintRecorder>(terminal.text, terminal.hex, device,
                                                   scenario.lineFeeds);
    }

    // Made before the clock starts, so that making it is not taken for a stall.
    const QByteArray pattern = scenario.pattern();
    batchCount = 0;
    const double cpuStart = processCpuSeconds();
    wall.start();
    lastTickCpu = threadCpuSeconds();
    tick.start(10);
    device.start(pattern, scenario.total, scenario.chunk, scenario.intervalUs);
    loop.exec();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    tick.stop();
    typing = false;
    if (typist.joinable())
        typist.join();
    device.stop();
    const double cpu = processCpuSeconds() - cpuStart - device.cpuSeconds();

    if (scenario.paced) {
        const std::vector<double> lags = screenLagMs(device.writeMarks(), recorder->paints);
        const double worst = lags.empty() ? 0 : *std::max_element(lags.begin(), lags.end());
        std::printf(
            "%-11s %-64s %5.1f s  CPU %5.1f%% of a core (%5.2f CPU-s)  frames/s %3.0f text "
            "%3.0f hex  screen behind arrival: median %4.1f ms, worst %5.1f ms  stall %3.0f "
            "ms  peak RSS %4.0f MB  %6d batches logged\n",
            qPrintable(scenario.name), qPrintable(scenario.description), seconds,
            100 * cpu / seconds, cpu, double(recorder->paints.size()) / seconds,
            double(recorder->hexPaints) / seconds, median(lags), worst, double(worstStallUs) / 1000,
            peakRssMegabytes(), batchCount);
        return 0;
    }

    // A long timed run can outgrow what the hex view keeps (it then gives up its oldest rows),
    // so there what the device got rid of counts, which trails what was read by one pty buffer.
    const qint64 held = terminal.held();
    const qint64 absorbed = scenario.timed || scenario.keys ? device.sent() : held;
    const double megabytes = double(absorbed) / megabyte;
    std::printf("%-9s %-50s %6.1f MB %7.2f s %7.2f MB/s %6.3f CPU-s/MB  stall %5.0f ms "
                "(CPU %3.0f ms)  peak RSS %5.0f MB  %6d batches%s\n",
                qPrintable(scenario.name), qPrintable(scenario.description), megabytes, seconds,
                megabytes / seconds, megabytes > 0 ? cpu / megabytes : 0.0,
                double(worstStallUs) / 1000, worstBusy * 1000, peakRssMegabytes(), batchCount,
                held < scenario.total && !scenario.timed && !scenario.keys
                    ? "  (time limit: not all absorbed)"
                    : "");
    if (samples.size() >= 2) {
        QByteArray rates;
        for (size_t n = 0; n < samples.size(); ++n) {
            const Sample before = n ? samples[n - 1] : Sample{0, 0, 0, 0};
            rates += QByteArray::number(double(samples[n].sent - before.sent) / megabyte
                                            / (samples[n].seconds - before.seconds),
                                        'f', 2)
                     + ' ';
        }
        const Sample &first = samples.front();
        const Sample &last = samples.back();
        const auto mb = [](qint64 bytes) {
            return double(bytes) / megabyte;
        };
        std::printf("%-9s   MB/s in each %g s slice: %s\n", qPrintable(scenario.name),
                    double(sliceUs) / 1e6, rates.constData());
        // The hex view keeps every byte, its newest in memory and the rest in its cache file.
        std::printf("%-9s   RSS at %.1f s %.0f MB, at %.1f s %.0f MB: %+.1f MB; the hex view holds "
                    "%.0f MB, at most %.0f MB of it in memory\n",
                    qPrintable(scenario.name), first.seconds, mb(first.rss), last.seconds,
                    mb(last.rss), mb(last.rss - first.rss), mb(last.held),
                    mb(TerminalConstants::hexMemoryBytes));
    }
    if (scenario.keys) {
        const double worst = keyMs.empty() ? 0 : *std::max_element(keyMs.begin(), keyMs.end());
        std::printf("%-9s   key to device: %zu keys, median %.1f ms, worst %.1f ms\n",
                    qPrintable(scenario.name), keyMs.size(), median(keyMs), worst);
    }
    return 0;
}

// The hex view holding 1 MB and 100 MB: one more 4 KB batch through the real receive path, a
// repaint of the hex view, and its memory against what it holds.
int runHexHeld()
{
    PtyDevice device;
    Terminal terminal(device, true);
    if (!device.isValid() || !terminal.connected()) {
        std::printf("e         could not connect the terminal to a pty\n");
        return 1;
    }
    const QByteArray batch = textLines().left(4096);
    const QByteArray fill = randomBytes();
    for (const qint64 held : {1 * megabyte, 100 * megabyte}) {
        terminal.hex->setData(QByteArray());
        settle(50);
        const qint64 rssBefore = currentRssBytes();
        // Appended in 64 KB pieces of one shared array, so that no copies blur the figure.
        const QByteArray piece = fill.left(64 * 1024);
        while (terminal.held() + piece.size() <= held)
            terminal.hex->appendData(piece);
        terminal.hex->appendData(piece.left(int(held - terminal.held())));
        const double memoryRatio = double(currentRssBytes() - rssBefore) / double(held);
        settle(50);

        const int rounds = 100;
        double batchCpu = 0;
        QElapsedTimer wall;
        wall.start();
        for (int round = 0; round < rounds; ++round) {
            const qint64 target = terminal.held() + batch.size();
            const double before = threadCpuSeconds();
            device.start(batch, batch.size(), batch.size());
            while (terminal.held() < target)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            batchCpu += threadCpuSeconds() - before;
        }
        const double batchWallMs = double(wall.nsecsElapsed()) / 1e6 / rounds;

        // Until the view's paced repaint has gone out, a repaint() would draw nothing; while
        // bytes stream in it is paced at RepaintPacer::busyIntervalMs.
        settle(150);
        QElapsedTimer paint;
        paint.start();
        for (int round = 0; round < rounds; ++round)
            terminal.hex->viewport()->repaint();
        const double repaintMs = double(paint.nsecsElapsed()) / 1e6 / rounds;

        std::printf("e         hex view holding %3lld MB: 4 KB batch %6.3f ms CPU (%6.3f ms wall), "
                    "repaint %6.3f ms, memory %.3f x held\n",
                    held / megabyte, batchCpu * 1000 / rounds, batchWallMs, repaintMs, memoryRatio);
    }
    std::printf("e         peak RSS %5.0f MB\n", peakRssMegabytes());
    return 0;
}

// A long session: total bytes of lines as fast as the terminal takes them, hex view shown. Prints
// the resident memory (as ps shows it) every 10 s, whether the hex view still holds the first byte
// received, and how long it takes to jump to the first row and to the last and draw them.
int runLongSession(qint64 total)
{
    PtyDevice device;
    Terminal terminal(device, true);
    if (!device.isValid() || !terminal.connected()) {
        std::printf("long      could not connect the terminal to a pty\n");
        return 1;
    }
    const auto mb = [](qint64 bytes) {
        return double(bytes) / megabyte;
    };
    const qint64 sampleUs = 10 * 1000 * 1000;
    QElapsedTimer wall;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    qint64 lastTick = 0;
    qint64 worstStallUs = 0;
    std::vector<std::pair<double, qint64>> samples;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = wall.nsecsElapsed() / 1000;
        worstStallUs = qMax(worstStallUs, now - lastTick - 10000);
        lastTick = now;
        if (now >= sampleUs * qint64(samples.size() + 1)) {
            samples.emplace_back(double(now) / 1e6, currentRssBytes());
            std::printf("long        %5.0f s  %7.0f MB received  RSS %4.0f MB\n",
                        samples.back().first, mb(terminal.hex->receivedSize()),
                        mb(samples.back().second));
            std::fflush(stdout);
        }
        if (terminal.hex->receivedSize() >= total)
            loop.quit();
    });
    const QByteArray pattern = textLines();
    const double cpuStart = processCpuSeconds();
    wall.start();
    tick.start(10);
    device.start(pattern, total, 4096);
    loop.exec();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    tick.stop();
    device.stop();
    const double cpu = processCpuSeconds() - cpuStart - device.cpuSeconds();
    samples.emplace_back(seconds, currentRssBytes());
    qint64 worstRss = 0;
    for (const auto &sample : samples)
        worstRss = qMax(worstRss, sample.second);

    // Jumping there and drawing: the first row comes from the cache file, the last from memory.
    settle(150);
    QScrollBar *bar = terminal.hex->verticalScrollBar();
    const auto drawAt = [&](int value) {
        QElapsedTimer draw;
        draw.start();
        bar->setValue(value);
        terminal.hex->viewport()->repaint();
        return double(draw.nsecsElapsed()) / 1e6;
    };
    const double firstMs = drawAt(0);
    const double lastMs = drawAt(bar->maximum());
    const double firstAgainMs = drawAt(0);
    const qint64 dropped = terminal.hex->receivedSize() - terminal.hex->dataSize();
    std::printf(
        "long      %.0f MB of lines, hex view shown: %.1f s, %.2f MB/s, %.3f CPU-s/MB, stall "
        "%.0f ms; RSS at most %.0f MB of %zu samples, %.0f MB at the end, peak %.0f MB; "
        "first byte held: %s; jump and draw: first row %.2f ms (again %.2f ms), last row "
        "%.2f ms\n",
        mb(total), seconds, mb(total) / seconds, cpu / mb(total), double(worstStallUs) / 1000,
        mb(worstRss), samples.size(), mb(samples.back().second), peakRssMegabytes(),
        dropped == 0 ? "yes" : "no", firstMs, firstAgainMs, lastMs);
    return 0;
}

void usage()
{
    std::fprintf(stderr, "usage: receivebench [scenario[@amount]...]\n"
                         "  amount: megabytes to send, or seconds to run for f-*, k-* and p-*\n");
    for (const Scenario &scenario : scenarios())
        std::fprintf(stderr, "  %-9s %s\n", qPrintable(scenario.name),
                     qPrintable(scenario.description));
    std::fprintf(stderr, "  e         the hex view holding 1 MB and 100 MB\n");
    std::fprintf(stderr,
                 "  long      2,000 MB of lines, hex view shown: resident memory every 10 s, "
                 "the first and the last row drawn\n");
}

// A name may end in "@<amount>" to send other megabytes than the scenario's, or to run a timed
// scenario for other seconds, as for a shorter run or one under a profiler.
int runOne(const QString &argument)
{
    const QString name = argument.section(QLatin1Char('@'), 0, 0);
    const double amount = argument.section(QLatin1Char('@'), 1).toDouble();
    if (name == QLatin1String("e"))
        return runHexHeld();
    if (name == QLatin1String("long")) {
        QLoggingCategory::setFilterRules(QLatin1String(desktopLoggingRules));
        return runLongSession(qint64((amount > 0 ? amount : 2000) * megabyte));
    }
    for (Scenario scenario : scenarios()) {
        if (scenario.name != name)
            continue;
        // Set for each scenario, so that one named after a desktop one logs again.
        QLoggingCategory::setFilterRules(
            scenario.desktopLogging ? QLatin1String(desktopLoggingRules) : QLatin1String());
        if (amount > 0 && (scenario.timed || scenario.keys || scenario.paced))
            scenario.timeLimitMs = int(amount * 1000);
        else if (amount > 0)
            scenario.total = qint64(amount * megabyte);
        return runStream(scenario);
    }
    std::fprintf(stderr, "unknown scenario %s\n", qPrintable(name));
    usage();
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // Measured without a display unless one is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    registerImages();
    QApplication application(argc, argv);

    QStringList names = application.arguments().mid(1);
    if (!names.isEmpty()) {
        qInstallMessageHandler(countBatches);
        int result = 0;
        for (const QString &name : names)
            result = qMax(result, runOne(name));
        return result;
    }

    std::printf("Each line: scenario, what the device sends, MB absorbed (1 MB = 10^6 bytes), wall "
                "time, MB/s, CPU-seconds per MB (the device thread's own left out), the worst "
                "lateness of a 10 ms timer (stall) and the most CPU time the event loop's thread "
                "used between two of its ticks (on a busy machine a stall can be longer: time "
                "spent waiting for a core), peak RSS, batches read. Timed runs (f-*) "
                "add the rate in each sixth of the run and RSS after the first sixth and at the "
                "end, also less the bytes the hex view holds (it keeps every byte). Key runs "
                "(k-*) add the time from a key queued for the window to its byte on the "
                "device's side, one key every %d ms. Paced runs (p-*) stream 1,200 bytes a "
                "millisecond for 20 s and give the share of a core the terminal used, the paints "
                "a second of the text view and of the hex view, and how long each millisecond's "
                "bytes took to show in a paint of the text view (median and worst); with the "
                "debug lines off as the desktop entry sets them, or on as by default (-log). The "
                "long session (long) prints resident memory every 10 s and the time to jump to "
                "the first and the last row of the hex view and draw them.\n\n",
                keyIntervalMs);
    std::fflush(stdout);
    // Each scenario in a process of its own, its debug lines thrown away.
    for (const Scenario &scenario : scenarios())
        names.append(scenario.name);
    names.append(QStringLiteral("e"));
    names.append(QStringLiteral("long"));
    int result = 0;
    for (const QString &name : names) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(application.applicationFilePath(), {name});
        child.waitForFinished(-1);
        const QByteArray output = child.readAllStandardOutput();
        std::fwrite(output.constData(), 1, size_t(output.size()), stdout);
        std::fflush(stdout);
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::printf("%-9s failed (exit %d)\n", qPrintable(name), child.exitCode());
            result = 1;
        }
    }
    return result;
}
