#pragma once

#include <QString>

// The program's name and version as the user sees it: window title, settings application name
// and About text all use this one string.
const QString &programTitle();
