#pragma once
// The station window's own texts, each defined once.

namespace morvak::texts {

inline constexpr const char* kStationCaption = "Morvak station";
inline constexpr const char* kStationImageLabel = "Image:";
inline constexpr const char* kStationBrowse = "Browse...";
inline constexpr const char* kStationNand = "NAND";
inline constexpr const char* kStationOneNand = "OneNAND";
inline constexpr const char* kStationEraseReserved = "Erase Reserved region";
inline constexpr const char* kStartStation = "Start station";
inline constexpr const char* kStopStation = "Stop station";
// The second press of Stop: every run is ended, its handset left half-flashed.
inline constexpr const char* kStopRunsNow = "Stop runs now";

// What the station says in its own line under the tiles.
inline constexpr const char* kStationIdle = "Choose an image and press Start station.";
inline constexpr const char* kStationNoImage = "Choose an image first: browse for it or drop it on the window.";
inline constexpr const char* kStationArmed = "Station armed: plug a handset into any port.";
inline constexpr const char* kStationStopping =
    "Stopping: no new run starts; runs going on end. Press Stop runs now to end them at once.";
inline constexpr const char* kStationEndingRuns = "Ending every run now.";
inline constexpr const char* kStationStoppedFormat = "Station stopped: %zu passed, %zu failed, %zu stopped.";
inline constexpr const char* kStationWaitingForPorts = "Watching every port where a handset with the configured ids appears.";

// The tally: passed, failed, stopped, and units per hour once there is a span.
inline constexpr const char* kTallyFormat = "Passed: %zu   Failed: %zu   Stopped: %zu";
inline constexpr const char* kTallyRateFormat = "   Units per hour: %.1f";

// A tile's states.
inline constexpr const char* kTileWaiting = "waiting";
inline constexpr const char* kTileFlashing = "flashing";
inline constexpr const char* kTilePassed = "passed: unplug to continue";
inline constexpr const char* kTileFailed = "failed: unplug to continue";
inline constexpr const char* kTileStopped = "stopped: unplug to continue";
inline constexpr const char* kTileUnusable = "cannot be used";
inline constexpr const char* kTileClosed = "closed";
inline constexpr const char* kTileAsicIdFormat = "ASIC ID %s";

// Asked before the window closes while handsets are being flashed.
inline constexpr const char* kStopStationAndClose = "Handsets are being flashed. Stop every run and close?";

}  // namespace morvak::texts
