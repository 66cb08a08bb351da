#include "app/display_guard.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct THeldMessage {
    QtMsgType Type;
    QByteArray Category;
    QByteArray File;
    int Line;
    QByteArray Function;
    QString Text;
};

std::mutex gMutex;
QtMessageHandler gPrevious = nullptr;
std::vector<THeldMessage> gHeld;

bool IsSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Why the window system could not start, in one line.
std::string Reason(const QString& fatal) {
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM"))
        return "no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    // Qt's window-system messages say what failed ("could not connect to display :7");
    // its final message only says that nothing could start.
    for (const THeldMessage& m : gHeld)
        if (m.Category.startsWith("qt.qpa")) return "no display was found: " + m.Text.toStdString();
    return "no display was found: " + fatal.toStdString();
}

void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "tamblix: %s\n"
                     "The desktop program needs a window system. tamblix-cli does the same "
                     "catalog work without one: see 'tamblix-cli --help'.\n",
                     Reason(text).c_str());
        std::fflush(stderr);
        // Not exit(): Qt is half-built, and its objects must not be destroyed now.
        std::_Exit(1);
    }
    gHeld.push_back({type, context.category, context.file, context.line, context.function, text});
}

} // namespace

TDisplayGuard::TDisplayGuard() : active_(true) {
    std::lock_guard<std::mutex> lock(gMutex);
    gHeld.clear();
    gPrevious = qInstallMessageHandler(Hold);
}

TDisplayGuard::~TDisplayGuard() {
    Started();
}

void TDisplayGuard::Started() {
    if (!active_) return;
    active_ = false;
    std::vector<THeldMessage> held;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        qInstallMessageHandler(gPrevious);
        held.swap(gHeld);
    }
    for (const THeldMessage& m : held) {
        QMessageLogContext context(m.File.isNull() ? nullptr : m.File.constData(), m.Line,
                                   m.Function.isNull() ? nullptr : m.Function.constData(),
                                   m.Category.isNull() ? nullptr : m.Category.constData());
        qt_message_output(m.Type, context, m.Text);
    }
}
