// The orders in which the main window runs the acquisition steps. Each step
// runs only if the one before succeeded; every sequence returns systemOk,
// the result of the last step run. What follows a sequence (alerts, status
// bar, list) is the caller's.
#pragma once

#include <functional>

#include "monitor/acquisition/terminal_acquisition.h"

// Refills the window's area selector from the settings' areas; it runs
// between the area reconciliation and the membership load, so the selector
// never offers an area whose members are not being loaded.
using RefillAreaCombo = std::function<void()>;

// Main window start-up: ids, states, areas, selector, members.
bool RunStartUpSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo);
// Poll timer tick: ids and states only; area membership stays as it was.
bool RunPollSequence(TerminalAcquisition& acquisition);
// The refresh button: as at start-up.
bool RunRefreshSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo);
// The area and contact dialog confirmed: selector, then members.
bool RunAreaDialogSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo);
// A report falls due while the server was last unreachable: as at start-up.
bool RunReportReloadSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo);
