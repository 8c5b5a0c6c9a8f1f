#include "gui/qt/zul_app.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

#include "host/settings_store.h"
#include "host/startup.h"
#include "gui/qt/gui_seams.h"
#include "gui/qt/pictures.h"
#include "gui/qt/splash_wnd.h"
#include "support/platform.h"

namespace zul::gui {

CZULApp::CZULApp(GuiOptions options, StartupPlaces places)
    : options_(std::move(options)), places_(std::move(places)) {}

CZULApp::~CZULApp() {
    if (frame_) delete frame_.data();
    if (splash_) delete splash_.data();
}

bool CZULApp::InitInstance() {
    // Another copy? It comes forward; this one ends without showing anything.
    instance_ = std::make_unique<SingleInstance>(places_.serverName.isEmpty() ? InstanceServerName()
                                                                               : places_.serverName);
    if (instance_->Claim() == SingleInstance::Role::kSecond) {
        exitCode_ = 0;
        return false;
    }

    // The splash does not hold start-up up; it closes itself once its time is
    // over and the main window exists.
    if (!options_.nologo) splash_ = CSplashWnd::ShowOnce([this]() -> QWidget* { return frame_.data(); });

    // The framework's own per-user store (the registry on Windows).
    QCoreApplication::setOrganizationName(kOrganization);
    QCoreApplication::setApplicationName(kAppTitle);
    QGuiApplication::setWindowIcon(ApplicationIcon());

    if (!options_.settingsFile.isEmpty()) {
        SetSettingsFilePath(options_.settingsFile.toStdString());
    } else {
        const std::string programDirectory =
            places_.programDirectory.empty() ? getProgramDirectory() : places_.programDirectory;
        const std::string fallback =
            places_.fallbackDirectory.empty() ? SettingsFallbackDirectory() : places_.fallbackDirectory;
        SetSettingsFilePath(LocateSettingsFile(RealFileSystem(), programDirectory, fallback));
    }
    SetCurrentPortSelection(std::make_unique<PortSelection>(LoadPortSelection(SettingsFilePath())));

    if (options_.simulate) {
        simulation_ = std::make_unique<SimulatedTester>();
        std::string error;
        if (!simulation_->Start(options_.faults.toStdString(), &error)) {
            std::fprintf(stderr, "zul: %s\n", error.c_str());
            simulation_.reset();
            exitCode_ = 2;
            return false;
        }
    }

    frame_ = new CMainFrame;
    GuiSeams::SetMainWindow(frame_.data());
    connect(instance_.get(), &SingleInstance::activationRequested, frame_.data(),
            &CMainFrame::ActivateFromAnotherStart);
    frame_->show();
    frame_->repaint();
    if (splash_) splash_->raise();
    return true;
}

int CZULApp::ExitInstance(int loopResult) {
    if (frame_) delete frame_.data();
    if (splash_) delete splash_.data();
    simulation_.reset();
    SetCurrentPortSelection(nullptr);
    instance_.reset();
    return loopResult != 0 ? loopResult : exitCode_;
}

}  // namespace zul::gui
