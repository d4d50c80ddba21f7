// Windows has no termination signals to watch: a session ending closes the window through the
// window system.

#include "quitsignals.h"

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{}

QuitSignals::~QuitSignals() = default;

void QuitSignals::readSignals()
{}
