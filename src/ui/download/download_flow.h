#pragma once
// The download dialog's flow without its windows: the tester query when it
// opens, the application list, and the Download button with every message,
// the completion report and the title changes. The GUI's dialog and the
// command line's download command both drive it.
#include <memory>
#include <string>
#include <vector>

#include "script/application_catalogue.h"
#include "tester/download_result.h"
#include "tester/monitor_protocol.h"
#include "ui/download/tester_query.h"
#include "ui/download/download_flow_view.h"

namespace zul {

// Carries out the record's current load statement (the last ParseStatement
// returned STMT_LOAD) on the open link.
DownloadResult DownloadStatement(ApplicationRecord& record, DownloadProgress& progress);

enum class DownloadOutcome {
    kDeclined,   // the confirmation was answered with Cancel
    kFailed,     // the port did not open, or a message stopped the download
    kCompleted,  // the completion report was shown
};

class DownloadFlow {
public:
    // One row of the application list.
    struct Row {
        std::string name;
        std::string version;
        int index = 0;  // into the catalogue
        bool selected = false;
    };

    explicit DownloadFlow(DownloadFlowView& view) : view_(view) {}

    // What the dialog does when it opens, after the set-up instructions: reads
    // the closing message and queries the tester. True when a "ZIZ2" tester
    // answered; the dialog closes otherwise (after filling its list anyway).
    bool Open();
    // Rebuilds the catalogue from the settings and the rows from it, sorted by
    // name as the list shows them.
    void FillList();

    const std::vector<Row>& rows() const { return rows_; }
    void SetSelected(std::size_t row, bool selected);
    // Download is enabled exactly while a row is selected.
    bool DownloadEnabled() const;
    ApplicationCatalogue* catalogue() const { return catalogue_.get(); }
    HardwareId hardwareId() const { return hardwareId_; }
    const std::string& closingMessage() const { return closingMessage_; }
    const MonitorContext& queryContext() const { return queryContext_; }

    // The Download button: the selected rows in list order.
    DownloadOutcome Download();
    // The same for catalogue indexes in the order given (the command line
    // names its applications).
    DownloadOutcome DownloadApplications(const std::vector<int>& catalogueIndexes);

private:
    DownloadFlowView& view_;
    std::unique_ptr<ApplicationCatalogue> catalogue_;
    std::vector<Row> rows_;
    MonitorContext queryContext_;
    HardwareId hardwareId_ = HardwareId::Other;
    std::string closingMessage_;
};

}  // namespace zul
