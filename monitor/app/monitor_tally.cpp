#include "monitor/app/monitor_tally.h"

#include "platform/codepage/codepage.h"

namespace {

// From a small installation on the local network to 65,535 terminals.
const prometheus::Histogram::BucketBoundaries kPollBuckets = {0.1, 0.25, 0.5, 1, 2.5, 5, 10, 20, 30, 60, 120, 300};

}  // namespace

MonitorTally::MonitorTally(const Clock& clock) : clock_(clock), pollSeconds_(kPollBuckets) {}

void MonitorTally::Acquired(const TerminalLookup& terminals, bool platformUp, const MonitorSettings& settings) {
  // As the alerts judge an area: its members the table knows, and which of them are offline.
  const auto& members = terminals.AreaMembers();
  std::vector<AreaFigures> areas;
  for (const auto& [id, entry] : settings.areas) {
    if (id < 0) continue;
    AreaFigures area;
    area.id = id;
    area.name = codepage::GbkToUtf8(entry.name);
    auto list = members.find(id);
    if (list != members.end()) {
      for (int32_t member : list->second) {
        auto facts = terminals.Find(member);
        if (!facts) continue;
        ++area.total;
        if (!facts->online) ++area.offline;
      }
    }
    areas.push_back(std::move(area));
  }
  int offline = terminals.OfflineCount();
  int online = static_cast<int>(terminals.PresentCount()) - offline;
  std::time_t now = clock_.WallNow();

  std::lock_guard hold(lock_);
  figures_.acquired = true;
  figures_.platformUp = platformUp;
  figures_.acquiredAt = now;
  figures_.online = online;
  figures_.offline = offline;
  figures_.areas = std::move(areas);
}

void MonitorTally::Polled(std::chrono::duration<double> took) { pollSeconds_.Observe(took.count()); }

void MonitorTally::AlertsRaised(const std::vector<int32_t>& areas, int messages) {
  std::time_t now = clock_.WallNow();
  std::lock_guard hold(lock_);
  for (int32_t id : areas) alertedAt_[id] = now;
  figures_.alertsSent += static_cast<uint64_t>(messages);
}

void MonitorTally::ReportsQueued(int messages) {
  std::lock_guard hold(lock_);
  figures_.reportsSent += static_cast<uint64_t>(messages);
}

MonitorFigures MonitorTally::Figures() const {
  std::lock_guard hold(lock_);
  MonitorFigures figures = figures_;
  for (AreaFigures& area : figures.areas) {
    auto alerted = alertedAt_.find(area.id);
    if (alerted != alertedAt_.end()) area.alertedAt = alerted->second;
  }
  auto installation = alertedAt_.find(TOTAL_AREA_ID);
  if (installation != alertedAt_.end()) figures.installationAlertedAt = installation->second;
  return figures;
}

prometheus::ClientMetric MonitorTally::PollSeconds() const { return pollSeconds_.Collect(); }
