#include "ui/download/download_flow.h"

#include <algorithm>
#include <cctype>

#include "host/message_pump.h"
#include "host/messages.h"
#include "host/settings_store.h"
#include "host/startup.h"
#include "script/profile_document.h"
#include "script/statement_parser.h"
#include "support/clock.h"
#include "tester/download_engine.h"
#include "tester/link_setup.h"
#include "tester/monitor_commands.h"
#include "ui/download/download_texts.h"
#include "ui/download/progress_observer.h"

namespace zul {
namespace {

constexpr unsigned kWarningOk = kMbOk | kMbIconWarning;

int Show(const FlowMessage& message, unsigned type) { return ShowMessage(message.text, message.caption, type); }

// A statement that is neither a load nor a message stops the download.
void ShowParseFailure(StatementResult result) {
    ShowMessage(StatementResultMessage(result), kStatementErrorCaption, kWarningOk);
}

SettingsStore Settings() { return SettingsStore(SettingsFilePath()); }

int SelectedPortNumber() { return CurrentPortSelection() ? CurrentPortSelection()->portNumber : 0; }

bool NameBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

// True (after showing "Download aborted") when the user has cancelled.
bool CancelSeen() {
    if (DownloadCancelFlag.load() != 1) return false;
    Show(*EngineResultMessage(DownloadResult::Aborted), kWarningOk);
    return true;
}

}  // namespace

DownloadResult DownloadStatement(ApplicationRecord& record, DownloadProgress& progress) {
    const StatementRecord& current = record.currentStatement;
    LoadStatement statement;
    statement.loadType = current.loadType;
    statement.loadAddress = current.loadAddress;
    statement.imageSize = static_cast<std::uint32_t>(current.imageSize);
    statement.imagePath = current.imagePath;
    statement.bankErase = current.bankErase != 0;
    statement.noErase = current.noErase != 0;
    statement.eraseOnly = current.eraseOnly != 0;
    statement.programCard = current.programCard != 0;
    statement.batterySkip = current.batterySkip != 0;
    statement.resetAfter = current.resetAfter != 0;
    // Regular files only, as the parser has it for images it measures: opening
    // a pipe named with an explicit size would hold the download for ever.
    if (!RegularFileProblem(current.imagePath).empty()) return DownloadResult::ImageUnreadable;

    // Every load statement of the application counts, done or still to come.
    std::uint64_t totalBytes = 0;
    std::uint64_t dataBlocks = 0;  // what the application's statements send
    for (const ParsedStatement& parsed : ParseAllStatements(record)) {
        if (parsed.result != StatementResult::STMT_LOAD) continue;
        const StatementRecord& s = parsed.currentStatement;
        totalBytes += static_cast<std::uint32_t>(s.imageSize);
        if (s.eraseOnly == 0 && s.loadType >= kLoadRam && s.loadType <= kLoadFlash)
            dataBlocks += static_cast<std::uint32_t>(s.imageSize) / kBlockDataSize;
    }
    progress.SetBlocksToSend(dataBlocks > record.blocksSent ? dataBlocks - record.blocksSent : 0);
    const auto totalBlocks = static_cast<std::uint32_t>(std::min<std::uint64_t>(totalBytes / kBlockDataSize, UINT32_MAX));
    ProgressObserver observer(progress, CurrentMainWindowTitle());
    return RunLoadStatement(statement, totalBlocks, record.blocksSent, observer);
}

bool DownloadFlow::Open() {
    closingMessage_ = Settings().ReadClosingMessage().substr(0, 255);
    hardwareId_ = QueryTesterConfiguration(SelectedPortNumber(), queryContext_, view_);
    return hardwareId_ == HardwareId::Ziz2;
}

void DownloadFlow::FillList() {
    catalogue_.reset();
    rows_.clear();
    const SettingsStore settings = Settings();
    catalogue_ = BuildCatalogue(settings.ReadScriptDir(), settings.ReadImageDir(), settings.ReadScriptExtension());
    for (int i = 0; i < catalogue_->CatalogueCount(); ++i) {
        const ApplicationRecord* record = catalogue_->CatalogueItem(i);
        if (record == nullptr) {
            Show(kScriptsUnreadable, kMbOkCancel);
            continue;
        }
        if (record->statementCount != 0) rows_.push_back(Row{record->appName, record->appVersion, i, false});
    }
    std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) { return NameBefore(a.name, b.name); });
}

void DownloadFlow::SetSelected(std::size_t row, bool selected) {
    if (row < rows_.size()) rows_[row].selected = selected;
}

bool DownloadFlow::DownloadEnabled() const {
    return std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; });
}

DownloadOutcome DownloadFlow::Download() {
    std::vector<int> indexes;
    for (const Row& row : rows_)
        if (row.selected) indexes.push_back(row.index);
    return DownloadApplications(indexes);
}

DownloadOutcome DownloadFlow::DownloadApplications(const std::vector<int>& catalogueIndexes) {
    // An application with more statements than can be named is refused before
    // anything is sent, not after its first statements have written flash.
    for (int index : catalogueIndexes) {
        const ApplicationRecord* record = catalogue_ ? catalogue_->CatalogueItem(index) : nullptr;
        if (record != nullptr && !StatementCountWithinLimit(*record)) {
            ShowParseFailure(StatementResult::STMT_BAD_STATEMENT);
            return DownloadOutcome::kFailed;
        }
    }

    if (Show(kConfirmDownload, kMbOkCancel | kMbIconWarning) != kIdOk) return DownloadOutcome::kDeclined;

    view_.SetDialogEnabled(false);
    DownloadCancelFlag = 0;
    DownloadProgress& progress = view_.OpenProgress(kProgressCaption);
    progress.SetStatusText(kEstablishingStatus);
    const std::uint32_t start = CurrentClock().TickCount();

    bool failed = false;
    bool linkOpen = false;
    switch (OpenTesterLink(SelectedPortNumber())) {
        case LinkOpenResult::OpenFailed:
            Show(kDownloadPortMissing, kWarningOk);
            failed = true;
            break;
        case LinkOpenResult::SettingsRefused:
            Show(kDownloadPortRefused, kWarningOk);
            failed = true;
            break;
        case LinkOpenResult::Ok:
            linkOpen = true;
            break;
    }

    if (linkOpen) {
        progress.SetStatusText(kPreparingStatus);
        for (int index : catalogueIndexes) {
            ApplicationRecord* record = catalogue_ ? catalogue_->CatalogueItem(index) : nullptr;
            if (record == nullptr) continue;
            record->blocksSent = 0;
            for (int n = 0; n < record->statementCount && !failed; ++n) {
                if (CancelSeen()) {
                    failed = true;
                    break;
                }
                const StatementResult parsed = ParseStatement(*record, n);
                if (parsed == StatementResult::STMT_MESSAGE) {
                    ShowMessage(record->messageText, kMessageCaption, kWarningOk);
                    continue;
                }
                if (parsed != StatementResult::STMT_LOAD) {
                    ShowParseFailure(parsed);
                    failed = true;
                    break;
                }
                if (const auto message = EngineResultMessage(DownloadStatement(*record, progress))) {
                    Show(*message, kWarningOk);
                    failed = true;
                }
            }
            if (failed) break;
        }
        // A cancel during the last statement's end (its reset wait, say)
        // still stops the download: it is not reported as complete.
        if (!failed && CancelSeen()) failed = true;
    }

    view_.CloseProgress();

    if (!failed && linkOpen) {
        const std::uint32_t end = CurrentClock().TickCount();
        CurrentMainWindowTitle().SetTitle(kCompleteTitle);
        ShowMessage(CompletionReport((end - start) / 1000, closingMessage_), kCompleteCaption,
                    kMbOk | kMbIconInformation);
        for (Row& row : rows_) row.selected = false;
    }
    if (linkOpen) CloseTesterLink();

    view_.SetDialogEnabled(true);
    CurrentMainWindowTitle().SetTitle(LoadResourceString(kIdsAppTitle));
    return !failed && linkOpen ? DownloadOutcome::kCompleted : DownloadOutcome::kFailed;
}

}  // namespace zul
