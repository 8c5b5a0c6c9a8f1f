#pragma once
// With ZUL_REPORT_WINDOWS set in the environment, every top-level window
// that becomes visible on screen is reported on standard error as
//   zul: shown CMainFrame "ZUL for KVR 7700" after 123 ms
// (milliseconds since the program was loaded), for the start-up benchmark and
// the tests that watch the program from outside.
namespace zul::gui {

void ReportWindowsIfAsked();
// With the reports on, one line "zul: <what> after N ms" (for example
// "activated by another start").
void ReportEvent(const char* what);

}  // namespace zul::gui
