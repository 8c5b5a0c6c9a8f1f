#pragma once
// The "Setup Directory" command: choosing the application directory.
#include <QDialog>
#include <QPushButton>
#include <QWidget>

#include <functional>

#include "host/settings_store.h"
#include "gui/qt/history_combo_box.h"

namespace zul::gui {

class CSetupDirDialog : public QDialog {
    Q_OBJECT
public:
    // Loads the history from `history`, shows the current directory of
    // `settings` and moves it to the top of the history at once.
    CSetupDirDialog(SettingsStore settings, HistoryStore& history, QWidget* owner = nullptr);

    CHistoryComboBox* directory() const { return directory_; }

    void accept() override;

private:
    void OnBrowse();

    SettingsStore settings_;
    CHistoryComboBox* directory_;
};

// Opens the directory set-up modally over `owner`; its result is not used by
// the caller.
void OpenSetupDirectoryDialog(QWidget* owner);

}  // namespace zul::gui
