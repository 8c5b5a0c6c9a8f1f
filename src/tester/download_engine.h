#pragma once
// Carrying out one load statement: synchronise with the monitor, raise the
// link speed, make sure ZUL's monitor runs, test the battery, erase, send the
// image block by block while reporting progress, and bring the link back.
#include <cstdint>
#include <string>
#include <string_view>

#include "script/application_record.h"
#include "tester/download_observer.h"
#include "tester/download_result.h"
#include "tester/monitor_protocol.h"

namespace zul {

// The fields of a parsed load statement that the engine acts upon.
struct LoadStatement {
    int loadType = kLoadNone;  // kLoadRam, kLoadRamRun, kLoadFlash
    std::uint32_t loadAddress = 0;  // program card: the first 8 KB page
    std::uint32_t imageSize = 0;
    std::string imagePath;
    bool bankErase = false;
    bool noErase = false;
    bool eraseOnly = false;
    bool programCard = false;
    bool batterySkip = false;
    bool resetAfter = false;
};

// Texts the engine shows.
inline constexpr const char* kErasingStatus = "Erasing, please wait...";
inline constexpr const char* kErasingTitle = "Erasing...";

// "C:\...\name.ext" for a path with drive, directory and name; the path
// itself otherwise.
std::string ShortDisplayName(std::string_view path);
// "Downloading: <short name>".
std::string DownloadingStatusText(std::string_view imagePath);
// "ZUL - Downloading (42%)".
std::string DownloadingTitle(int totalPercent);

// The engine's monitor conversation, shared by every statement.
MonitorContext& EngineMonitorContext();

// Carries out `statement` on the open link. `totalBlocks` is the block count
// of the whole application; `blocksSent` counts the application's blocks sent
// so far and grows by one per block.
DownloadResult RunLoadStatement(const LoadStatement& statement, std::uint32_t totalBlocks, std::uint32_t& blocksSent,
                     DownloadObserver& observer);

}  // namespace zul
