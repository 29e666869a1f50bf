#include "monitor/acquisition/acquisition_sequences.h"

namespace {

bool RunFullReload(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo) {
  if (!acquisition.loadTerminalIds() || !acquisition.refreshTerminalStates() || !acquisition.syncAreas())
    return acquisition.systemOk();
  if (refillAreaCombo) refillAreaCombo();
  acquisition.loadAreaMembers();
  return acquisition.systemOk();
}

}  // namespace

bool RunStartUpSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo) {
  return RunFullReload(acquisition, refillAreaCombo);
}

bool RunPollSequence(TerminalAcquisition& acquisition) {
  if (acquisition.loadTerminalIds()) acquisition.refreshTerminalStates();
  return acquisition.systemOk();
}

bool RunRefreshSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo) {
  return RunFullReload(acquisition, refillAreaCombo);
}

bool RunAreaDialogSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo) {
  if (refillAreaCombo) refillAreaCombo();
  acquisition.loadAreaMembers();
  return acquisition.systemOk();
}

bool RunReportReloadSequence(TerminalAcquisition& acquisition, const RefillAreaCombo& refillAreaCombo) {
  return RunFullReload(acquisition, refillAreaCombo);
}
