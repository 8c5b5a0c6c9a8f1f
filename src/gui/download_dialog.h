#pragma once
// The download dialog, opened by the Download command and by the start-up
// timer. Until the dialog itself is built, a placeholder says so.
#include <QWidget>

namespace zul::gui {

inline constexpr const char* kDownloadPlaceholderName = "CDownloadDlg";

// Opens the download dialog modally over `owner` and returns when the user
// closes it.
void OpenDownloadDialog(QWidget* owner);

}  // namespace zul::gui
