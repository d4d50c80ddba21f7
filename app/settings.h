#pragma once

#include "fkeys/functionkey.h"
#include "terminal/commandline.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// What the settings store keeps between runs, as plain values: read once while the main window
// is built, written once when it closes.
struct StoredSettings
{
    QPoint position;
    QSize size;
    bool toolbarHidden = false;
    QFont font;
    // A stored name that is no colour gives an invalid colour, which the view knows how to treat.
    QColor fontColor;
    QColor backColor;
    FunctionKeyBindings functionKeys;
    bool functionDialogShown = false;
    bool hexMode = false;
    bool timestamps = false;
    bool logging = false;
    QString logFile;
    bool commandLineShown = false;
    CommandLine::LineEnd lineEnd = CommandLine::LineEnd::Cr;
    CommandLine::Mode commandMode = CommandLine::Mode::Text;
    QStringList commandHistory;
};

// The store's values, a first run's defaults where it holds none. problem is set when the store
// could not be read or was damaged: what the user should be told.
StoredSettings readSettings(QString *problem);

// Writes values to the store; returns what went wrong, empty when they were written.
QString writeSettings(const StoredSettings &values);

// The file the store is kept in.
QString settingsFileName();

// Where a window stored at position with size comes back: reachable, and no larger than the
// screen it lands on.
QRect restoredGeometry(QPoint position, QSize size);
