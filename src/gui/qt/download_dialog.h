#pragma once
// "Select Application(s) to Download": the window of the download flow. It
// shows the set-up instructions, asks which tester is connected, lists the
// applications of the application directory and downloads the selected one
// with a progress dialog; the flow itself (messages, order, timing) is the
// core's DownloadFlow, and this class only puts windows around it.
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <functional>
#include <memory>

#include "gui/qt/empty_message_list_ctrl.h"
#include "gui/qt/resizable_dialog.h"
#include "gui/qt/status_dlg.h"
#include "gui/qt/working_dlg.h"
#include "ui/download/download_flow.h"

class QGroupBox;

namespace zul::gui {

// The controls by their numbers in the original dialog, kept on each widget
// as the property "controlId" (the layout table and tests use them).
enum DownloadDlgControl : int {
    kIdClose = 2,
    kIdList = 104,
    kIdSetupComPort = 105,
    kIdDownload = 110,
    kIdWarningIcon = 731,
    kIdWarning = 1012,
    kIdScreensavers = 1013,
    kIdFrame = 1014,
};

class CDownloadDlg : public CResizableDialog, private DownloadFlowView {
    Q_OBJECT
public:
    inline static const char* const kCaption = "Select Application(s) to Download";

    explicit CDownloadDlg(QWidget* owner);
    ~CDownloadDlg() override;

    // What the dialog does before it is shown: the set-up instructions, the
    // tester query and the list. False when the dialog is to close at once
    // (instructions cancelled, no "ZIZ2" tester).
    bool Initialise();
    // Initialise, then the dialog modal over its owner until it is closed.
    int Run();
    // Rebuilds the list from the application directory of the settings.
    void FillList();

    CEmptyMessageListCtrl* list() const { return list_; }
    QPushButton* downloadButton() const { return download_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* comPortButton() const { return comPort_; }
    // The control with this number (the layout table's), or null.
    QWidget* control(int id) const;
    DownloadFlow& flow() { return flow_; }
    // The progress dialog while a download runs, else null.
    CWorkingDlg* working() const { return working_.get(); }
    // The status window while the tester is queried, else null.
    CStatusDlg* statusWindow() const { return status_.get(); }
    bool downloading() const { return downloading_; }

    // What "Setup COM Port..." opens (tests count).
    void setComPortDialog(std::function<void(QWidget*)> open) { openComPort_ = std::move(open); }

public slots:
    void OnDownload();
    void reject() override;

signals:
    // A progress dialog was opened (tests and the benchmark attach to it).
    void progressOpened(CWorkingDlg* dialog);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // DownloadFlowView
    void ShowStatusWindow(std::string_view text) override;
    void CloseStatusWindow() override;
    DownloadProgress& OpenProgress(std::string_view caption) override;
    void CloseProgress() override;
    void SetDialogEnabled(bool enabled) override;

    void PlaceControls();
    void OnSelectionChanged();

    DownloadFlow flow_;
    QLabel* listLabel_;
    CEmptyMessageListCtrl* list_;
    QGroupBox* frame_;
    QPushButton* download_;
    QPushButton* close_;
    QPushButton* comPort_;
    QLabel* icon_;
    QLabel* warning_;
    QLabel* screensavers_;
    std::unique_ptr<CStatusDlg> status_;
    std::unique_ptr<CWorkingDlg> working_;
    std::function<void(QWidget*)> openComPort_;
    bool downloading_ = false;
    bool filling_ = false;
};

// Opens the download dialog modally over `owner` and returns when the user
// closes it.
void OpenDownloadDialog(QWidget* owner);

}  // namespace zul::gui
