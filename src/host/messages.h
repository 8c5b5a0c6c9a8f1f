#pragma once
// Message boxes. The core never shows a window: it hands the text, caption
// and type to the installed MessageSink (the GUI shows a message box, the
// command line prints and asks on the terminal, tests record).
#include <string>
#include <string_view>

namespace zul {

// Message-box types (the values of the Windows flags they stand for).
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbOkCancel = 0x01;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr unsigned kMbButtonMask = 0x0F;
inline constexpr unsigned kMbIconMask = 0xF0;

// Buttons a message box returns.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Numbered texts of the string table.
inline constexpr int kIdsAppTitle = 57344;
inline constexpr int kIdsError = 715;
inline constexpr int kIdsComTestQuestion = 720;
inline constexpr int kIdsComTestAdapter = 721;
inline constexpr int kIdsComTestPassed = 722;
inline constexpr int kIdsComTestFailed = 723;
inline constexpr int kIdsComTestCaption = 724;
inline constexpr int kIdsSetup = 725;
inline constexpr int kIdsSuccess = 726;

// The text with number `id`, or "" when there is none.
std::string LoadResourceString(int id);

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the message and returns the button chosen (kIdOk, kIdCancel, ...).
    virtual int Show(std::string_view text, std::string_view caption, unsigned type) = 0;
};

// Installs `sink` (nullptr: the default, which prints to standard error and
// answers OK to a single-button box and Cancel/No to a question).
void SetMessageSink(MessageSink* sink);
// The sink installed, nullptr for the default.
MessageSink* InstalledMessageSink();
MessageSink& CurrentMessageSink();

int ShowMessage(std::string_view text, std::string_view caption, unsigned type);
int ShowResourceMessage(int textId, int captionId, unsigned type);

// The button a box of `type` returns when nobody can answer it: OK for a
// single button, otherwise the cautious choice (Cancel or No).
int DefaultAnswer(unsigned type);

}  // namespace zul
