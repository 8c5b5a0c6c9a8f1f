#pragma once
// The window program's start-up and shut-down, in the order every ZUL start
// follows: (session log, made by main) single instance, splash, where the
// settings file lives, the selected port, the main window.
#include <QObject>
#include <QPointer>

#include <memory>
#include <string>

#include "gui/qt/command_line.h"
#include "gui/qt/main_frame.h"
#include "gui/qt/single_instance.h"
#include "gui/qt/simulation.h"
#include "gui/qt/splash_wnd.h"

namespace zul::gui {


// Where start-up looks; tests point it at directories of their own.
struct StartupPlaces {
    std::string programDirectory;   // empty: the directory of the executable
    std::string fallbackDirectory;  // empty: the platform's fallback
    QString serverName;             // empty: the per-user, per-session name
};

class CZULApp : public QObject {
    Q_OBJECT
public:
    inline static const char* const kOrganization = "Brennic Corp";

    explicit CZULApp(GuiOptions options, StartupPlaces places = {});
    ~CZULApp() override;

    // True when this copy runs with its main window shown. False when another
    // copy runs (it was asked to come forward; exit code 0) or start-up
    // failed (exitCode() says how).
    bool InitInstance();
    // Takes down what start-up made; returns the exit code.
    int ExitInstance(int loopResult);
    int exitCode() const { return exitCode_; }

    CMainFrame* mainFrame() const { return frame_.data(); }
    CSplashWnd* splash() const { return splash_.data(); }
    SingleInstance* instance() const { return instance_.get(); }

private:
    GuiOptions options_;
    StartupPlaces places_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<SimulatedTester> simulation_;
    QPointer<CMainFrame> frame_;
    QPointer<CSplashWnd> splash_;
    int exitCode_ = 0;
};

}  // namespace zul::gui
