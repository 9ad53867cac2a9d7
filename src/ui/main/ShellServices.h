#pragma once
#include <QString>

namespace orv::ui {

// What the main window asks of the application around it: the start-up
// notices, the settings file and the small windows that live in src/app.
class ShellServices {
public:
    virtual ~ShellServices() = default;
    // The main window has been shown for the first time (closes the splash).
    virtual void mainWindowShown() = 0;
    // Every activation; the start-up notices run only on the first.
    virtual void mainWindowActivated() = 0;
    // The main window closes: write the settings file.
    virtual void mainWindowClosed() = 0;
    virtual void showAbout() = 0;
    virtual void showManual() = 0;
    virtual void showHistory() = 0;
};

} // namespace orv::ui
