// STUB
#include "app/vantorterm.h"
void VantorTerm::loadSettings() {}
void VantorTerm::storeSettings() {}
