#pragma once
// The "Setup Directory" command: choosing the application directory.
#include <QWidget>

namespace zul::gui {

// Opens the directory set-up modally over `owner`; its result is not used by
// the caller.
void OpenSetupDirectoryDialog(QWidget* owner);

}  // namespace zul::gui
