// STUB: to be implemented by the data-path work.
#include "app/vantorterm.h"

void VantorTerm::keyInput(int, const QString &) {}
void VantorTerm::sendPaced(const QString &) {}
