#pragma once
// The progress dialog of a download: caption "Download Progress", a status
// line, two bars with their percentage lines, and Cancel. Cancel, Escape and
// the close box only raise the cancel flag; the running download notices it,
// stops, and closes the dialog itself.
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>

#include "ui/download/download_progress.h"

namespace zul::gui {

class CWorkingDlg : public QDialog, public DownloadProgress {
    Q_OBJECT
public:
    inline static const char* const kDefaultCaption = "Working";
    inline static const char* const kDefaultStatus = "Click Cancel to cancel the operation";

    // Shown at once, centred on `owner`. Null `caption` / `statusText` show
    // the defaults above. `cancelFlag` is set to 1 by Cancel and must outlive
    // the dialog.
    CWorkingDlg(std::atomic<int>* cancelFlag, QWidget* owner, const char* caption, const char* statusText);
    ~CWorkingDlg() override;

    void SetStatusText(std::string_view text) override;
    // Clamped to 0..100; the line under the bar changes only when its text does.
    void SetCurrentPercent(int percent) override;
    void SetTotalPercent(int percent) override;
    // Hides the window for good; later updates do nothing.
    void Close();

    QLabel* statusLine() const { return status_; }
    QProgressBar* currentBar() const { return currentBar_; }
    QProgressBar* totalBar() const { return totalBar_; }
    QLabel* currentLine() const { return currentText_; }
    QLabel* totalLine() const { return totalText_; }
    QPushButton* cancelButton() const { return cancel_; }
    // How often each percentage line was rewritten (the lines must not flicker).
    int lineWrites() const { return lineWrites_; }

public slots:
    void reject() override;

signals:
    // The total bar moved to a new value (tests and the benchmark watch it).
    void totalChanged(int percent);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SetPercent(QProgressBar* bar, QLabel* line, const char* format, int percent);

    std::atomic<int>* cancelFlag_;
    QLabel* status_;
    QProgressBar* currentBar_;
    QLabel* currentText_;
    QProgressBar* totalBar_;
    QLabel* totalText_;
    QPushButton* cancel_;
    bool closed_ = false;
    bool wasMinimized_ = false;
    int lineWrites_ = 0;
};

}  // namespace zul::gui
