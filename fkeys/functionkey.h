#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One function-key binding: the Qt key code of F1..F12 and the exact characters it sends.
struct FunctionKey
{
    int key = 0;
    QString text;
};

constexpr int functionKeyCount = 12;
// The write delay of a first run, in milliseconds.
constexpr int defaultDelayMs = 5;

// Twelve bindings, F1 to F12 in order, each sending nothing.
QList<FunctionKey> emptyFunctionKeys();

// The function-key table: the twelve bindings and the pace of what is sent one character at a
// time (bindings, pastes, commands, files). What the dialog edits and the settings store keeps.
struct FunctionKeyBindings
{
    QList<FunctionKey> keys = emptyFunctionKeys();
    // The serial write delay: the longest wait after each character, or with paceWhole the
    // wait itself.
    int delay = defaultDelayMs;
    // The wait after each line end, however soon it is written; 0 for none.
    int lineDelay = 0;
    bool paceWhole = false;
};

// Rebuilds the table from the dialog's twelve line-edit texts and LF boxes: a ticked box
// appends CR LF to the text as typed. Missing entries count as empty and unticked.
QList<FunctionKey> buildFunctionKeys(const QStringList &texts, const QList<bool> &lineFeeds);

// The write delay from the spin box's displayed text; text that is no base-10 number gives 0.
int parseDelay(const QString &text);
