#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLineEdit>
#include <QPointer>
#include <QSet>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

// Puts the settings store of this test process into a throw-away folder, so that no test ever
// reads or writes the user's real settings, and registers the built-in images.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString settingsFolder() const { return m_settings.path(); }
    // Removes every stored setting, as on a first run.
    void clearSettings();

private:
    QTemporaryDir m_settings;
};

// The distinct widths the printable ASCII characters (the hex digits among them) advance in the
// face drawn for font, measured as the hex view measures its cells: one width where every column
// lines up, whatever the face's fixed-pitch flag says.
QSet<qreal> glyphAdvances(const QFont &font);

// A file's bytes, empty when it cannot be read; and writing bytes as the whole of a file, true
// when every byte was written.
QByteArray fileBytes(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// Collects the debug output while it lives.
class DebugLog
{
public:
    DebugLog();
    ~DebugLog();

    QStringList lines() const;
    bool contains(const QString &text) const;
    int count(const QString &text) const;
    void clear();
};

// Runs action once a modal dialog of type Dialog has opened; QTest cannot reach it otherwise,
// since the dialog runs its own event loop inside the slot under test. Deleting the returned
// timer stops waiting for a dialog that never came.
template <typename Dialog, typename Action>
QPointer<QTimer> whenDialogOpens(Action action)
{
    auto timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        if (auto dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
        }
    });
    timer->start(10);
    return timer;
}

// The function-key dialog's fields as the user finds them, by their names in the form; index 0
// is F1.
QLineEdit *functionKeyEdit(const QWidget *dialog, int index);
QCheckBox *lineFeedBox(const QWidget *dialog, int index);
QSpinBox *delayBox(const QWidget *dialog);
