// What the monitor learns from the broadcast platform's terminal information
// server: the terminals with their state, the platform's areas and their
// members. Four steps, each asking the server once through objects that live
// only for that step (or, per terminal, for that query); no connection is
// kept between steps. The steps run on the user-interface thread, in the
// apartment it entered with CoInitialize.
//
// The server is reached through CoCreateInstance of kClsidTerminalDirectory
// and kClsidTerminalItem, so tests put a fake in place with
// com::RegisterClass.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "monitor/acquisition/local_timestamp.h"
#include "monitor/acquisition/terminal_record.h"
#include "monitor/settings/monitor_settings.h"
#include "platform/clock/clock.h"
#include "platform/com/terminal_interfaces.h"

struct ServerArea {
  int32_t id = 0;
  std::string name;  // GBK
};

class TerminalAcquisition {
 public:
  // Both must outlive this object. `settings` is read and its areas are
  // rewritten by syncAreas; it is never saved from here.
  TerminalAcquisition(MonitorSettings& settings, const Clock& clock);
  TerminalAcquisition(const TerminalAcquisition&) = delete;
  TerminalAcquisition& operator=(const TerminalAcquisition&) = delete;

  // Each step returns whether it succeeded and leaves that result in
  // systemOk(). A failed step undoes nothing it already did.

  // Step 1: the platform's terminal ids and addresses, kept for step 2.
  bool loadTerminalIds();
  // Step 2: merges the ids of step 1 into the table, then queries every
  // record's name, tag, state and fault code. A terminal the server says
  // is gone leaves the table; any other failed query ends the step.
  bool refreshTerminalStates();
  // Step 3: reads the server's areas and makes the settings' areas (all
  // but the installation, -1) the same set with the server's names.
  bool syncAreas();
  // Step 4: the known terminals of every settings area, in pages of 100.
  bool loadAreaMembers();

  const std::map<int32_t, TerminalRecord>& terminalTable() const { return terminalTable_; }
  // Terminals answered in the last state refresh, ascending.
  const std::vector<int32_t>& presentIds() const { return presentIds_; }
  int32_t offlineCount() const { return offlineCount_; }
  const std::vector<ServerArea>& serverAreas() const { return serverAreas_; }
  const std::map<int32_t, std::vector<int32_t>>& areaMembers() const { return areaMembers_; }
  // The result of the last step run; false before the first.
  bool systemOk() const { return systemOk_; }

 private:
  com::HRESULT ReadTerminal(com::ITerminalItem& item, TerminalRecord& record);
  bool LoadTerminalIds();
  bool RefreshTerminalStates();
  bool SyncAreas();
  bool LoadAreaMembers();
  void MergeListedTerminals();
  bool Finish(bool succeeded);

  MonitorSettings& settings_;
  const Clock& clock_;

  std::map<int32_t, TerminalRecord> terminalTable_;
  std::vector<int32_t> presentIds_;
  int32_t offlineCount_ = 0;
  std::vector<ServerArea> serverAreas_;
  std::map<int32_t, std::vector<int32_t>> areaMembers_;
  bool systemOk_ = false;

  // Step 1 hands these to step 2; they hold nothing in between polls but
  // keep their storage, so a poll of many terminals allocates only for
  // terminals it has not seen before.
  std::vector<int32_t> listedIds_;
  std::vector<int32_t> listedAddresses_;
  // Reused buffers: area ids, one page of area members, the member list
  // being built, and a string's GBK bytes.
  std::vector<int32_t> areaIds_;
  std::vector<int32_t> memberPage_;
  std::vector<int32_t> members_;
  std::string gbkText_;
};
