#include <QtCore/QtGlobal>

// Keeps the platform library non-empty while its services are added.
const char* TamblixPlatformQtVersion() {
    return qVersion();
}
