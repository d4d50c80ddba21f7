// STUB
#include "app/vantorterm.h"
void VantorTerm::setCaptureFileNamePrompt(FileNamePrompt prompt) { m_captureFileNamePrompt = std::move(prompt); }
void VantorTerm::saveCapture() {}
