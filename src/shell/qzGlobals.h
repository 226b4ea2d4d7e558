#pragma once
// Program-wide state shared by the main window's handlers. These live for the
// whole run; ResetGlobals() puts them back to their start values (used when a
// fresh main window is built in the same process, e.g. by the test suite).
#include <QString>
#include <array>
#include <cstdint>

namespace qzGlobals {

// True while the main window's load handler runs: the option-button handlers
// stay silent so that selecting "OFF" and "TRAD" at start-up sends and draws nothing.
inline bool FormLoading = false;
// Set by Exit (button, menu, close box) and by a port that fails to open.
// Never cleared; the main loop ends the program once it sees it.
inline bool QuitRequested = false;
// Folder holding the program file, without a trailing separator.
inline QString AppFolder;
// Face style: 0 = TRAD, 1 = SIMPLE. Also the column of ScalePoints.
inline int32_t ScaleType = 0;
// Entry i is true when Comm i could be opened and closed by the last probe.
inline std::array<bool, 17> PortAvailable{};
// Entry i is true when Comm i has a device that another program held at the
// last probe: not available, but not absent either, so a search still gives
// it a moment in case the hold was brief (another instance's probe).
inline std::array<bool, 17> PortHeld{};
// The port Com_Open opens (0 = none) and the one whose menu entry is ticked.
inline int16_t PortNumber = 0;
inline int16_t SavedPort = 0;
// Identity of the last meter that answered.
inline QString SerialNumber;
inline QString FwVersion;

void ResetGlobals();

}  // namespace qzGlobals
