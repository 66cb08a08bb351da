#pragma once

// Qt aborts the program when it finds no window system to open windows on.
// While a TDisplayGuard lives (around the construction of the application
// object), that ends instead with a message that says no display was found and
// names tamblix-cli, and exit status 1. Qt's own messages from the window-system
// start are held back and passed on once the start has succeeded.
//   TDisplayGuard guard;
//   QApplication app(argc, argv);
//   guard.Started();
class TDisplayGuard {
public:
    TDisplayGuard();
    ~TDisplayGuard();
    TDisplayGuard(const TDisplayGuard&) = delete;
    TDisplayGuard& operator=(const TDisplayGuard&) = delete;

    // The window system is up: restore Qt's message handling and pass on what was held.
    void Started();

private:
    bool active_ = false;
};
