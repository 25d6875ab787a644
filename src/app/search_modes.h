#pragma once

#include <filesystem>
#include <functional>

namespace kalder {

class InfoViews;
class LocalSearchWindow;
class RecorderSession;
class SearchWindow;

// Fills the search window's Log mode with the recorder's log (its menu and one list, detail or
// change viewer at a time). A Play from a log entry goes through the window's own Play, marked
// as started from a log list, so that the window reopens on the Log mode afterwards.
// `localPlaybackRunning` tells whether local playback holds the player (Play is disabled then).
void installLogMode(SearchWindow& window, RecorderSession& session, int dateFormat,
                    std::function<bool()> localPlaybackRunning);

// Fills the search window's Info mode: the information menu and the system and status views,
// which live in the window's panel place from then on.
void installInfoMode(SearchWindow& window, InfoViews& views);

// Fills the local search window's Log tab with the local operation log viewer in the window's
// panel place; the ring file `logFile` is read each time the tab is chosen.
void installLocalLogMode(LocalSearchWindow& window, std::filesystem::path logFile, int dateFormat);

} // namespace kalder
