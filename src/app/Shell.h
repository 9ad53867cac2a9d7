#pragma once
#include "ui/main/ShellServices.h"

#include <QPointer>
#include <memory>

namespace orv { class Tdm; }
namespace orv::ui { class TfrmMain; class DocumentEditor; }

namespace orv::app {

class TSplashform;
class TAboutBox;
class TdlgHistory;
class TdlgSpotBox;
class TfrmManual;

// Maps the fonts the windows name to installed ones.
void installFontSubstitutes();

// The program's frame: start-up, the global state's life, the windows that
// live for the whole run, and the main window's start-up notices and close.
class Shell final : public ui::ShellServices {
public:
    Shell();
    ~Shell() override;

    // Everything before the message loop: splash, program folder, settings,
    // data module, windows, and the splash's wait (0 skips it).
    void start(const QString& programFolder, quint32 splashMilliseconds = 2000);
    // Shows the main window maximised.
    void showMainWindow();

    ui::TfrmMain* mainWindow() const { return m_main.get(); }
    Tdm* dataModule() const { return m_dm.get(); }
    TSplashform* splash() const;
    TdlgHistory* history() const { return m_history.get(); }
    TdlgSpotBox* spotBox() const { return m_spotBox.get(); }
    TAboutBox* aboutBox() const { return m_about.get(); }
    TfrmManual* manual() const { return m_manual.get(); }

    void mainWindowShown() override;
    void mainWindowActivated() override;
    void mainWindowClosed() override;
    void showAbout() override;
    void showManual() override;
    void showHistory() override;

private:
    void createDataModule();
    void runReminderCheck();

    QPointer<TSplashform> m_splash;
    std::unique_ptr<Tdm> m_dm;
    std::unique_ptr<ui::DocumentEditor> m_editor;
    std::unique_ptr<ui::TfrmMain> m_main;
    std::unique_ptr<TAboutBox> m_about;
    std::unique_ptr<TdlgHistory> m_history;
    std::unique_ptr<TdlgSpotBox> m_spotBox;
    std::unique_ptr<TfrmManual> m_manual;
};

} // namespace orv::app
