#include "logging.h"

Q_LOGGING_CATEGORY(lcLink, "tarquel.link")
Q_LOGGING_CATEGORY(lcReceive, "tarquel.receive")
Q_LOGGING_CATEGORY(lcTransmit, "tarquel.transmit")
Q_LOGGING_CATEGORY(lcTerminal, "tarquel.terminal")
Q_LOGGING_CATEGORY(lcApp, "tarquel.app")
