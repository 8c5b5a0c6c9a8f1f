#pragma once
// How one load statement ended. The numbers are the ones users, logs and
// scripts around ZUL know the results by.

namespace zul {

enum class DownloadResult : int {
    Ok = 0,
    ImageUnreadable = 15,  // the image file cannot be read for the blocks to send
    Aborted = 2003,        // the user cancelled
    MonitorFailed = 2005,  // ZUL's monitor could not be uploaded and started
    BadDeviceType = 2006,  // the load type is none the engine knows
    NoAnswer = 2007,       // the monitor does not answer, or an erase failed
    SpeedFailed = 2009,    // the link could not be raised to 115200
    BlockRefused = 2010,   // a data block was not accepted
};

constexpr int ResultNumber(DownloadResult result) { return static_cast<int>(result); }

}  // namespace zul
