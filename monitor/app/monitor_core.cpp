#include "monitor/app/monitor_core.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "monitor/alerts/sqlite_outbox_journal.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/clock.h"
#include "platform/com/apartment.h"

MonitorCore::MonitorCore(MonitorSettings& monitorSettings) : settings(monitorSettings) {
  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();
}

std::unique_ptr<MonitorCore> MonitorCore::Start(
    MonitorSettings& settings, std::function<void(const std::string&, const std::string&, bool)> reportSms,
    std::string& error) {
  std::unique_ptr<MonitorCore> core(new MonitorCore(settings));
  loadSettings(core->settings);
  try {
    core->agent = std::make_unique<KestrumAgent>(AGENT_MODE_SEND);
  } catch (const std::runtime_error& e) {
    error = e.what();
    return nullptr;
  }
  core->agentControl = std::make_unique<KestrumAgentControl>(*core->agent);
  core->OpenOutbox();
  core->sender = std::make_unique<ReportingSender>(*core->outbox, std::move(reportSms));
  core->acquisition = std::make_unique<TerminalAcquisition>(core->settings, SystemClock());
  core->lookup = std::make_unique<AcquisitionLookup>(*core->acquisition);
  return core;
}

void MonitorCore::SetNotes(std::function<void(const std::string&)> notes) {
  std::lock_guard hold(hearersLock_);
  notes_ = std::move(notes);
}

void MonitorCore::SetSendOutcomes(std::function<void(const SmsRecord&, SendOutcome)> outcomes) {
  std::lock_guard hold(hearersLock_);
  sendOutcomes_ = std::move(outcomes);
}

void MonitorCore::Note(const std::string& line) {
  std::lock_guard hold(hearersLock_);
  if (notes_) notes_(line);
  else std::fprintf(stderr, "Vigimon: %s\n", line.c_str());
}

void MonitorCore::OpenOutbox() {
  std::string folder = std::filesystem::path(settings.iniPath).parent_path().string();
  std::string path = (folder.empty() ? std::string(".") : folder) + "/" + SqliteOutboxJournal::kFileName;
  std::string trouble;
  try {
    journal::OpenReport report;
    outboxJournal = std::make_unique<SqliteOutboxJournal>(path, &report);
    if (!report.movedTo.empty())
      trouble = path + " could not be read (" + report.damage + "); moved aside to " + report.movedTo +
                ", a new outbox started";
  } catch (const journal::JournalError& error) {
    outboxJournal = std::make_unique<SqliteOutboxJournal>(journal::kInMemory);
    trouble = path + " cannot be written (" + error.what() + "); alerts wait in memory only";
  }
  carrier = std::make_unique<AgentCarrier>(*agent);
  outbox = std::make_unique<SmsOutbox>(*outboxJournal, *carrier, SystemClock(), settings.holdMinutes,
                                       [this](const std::string& line) { Note(line); });
  agent->SetSendObserver([this](const SmsRecord& sms, SendOutcome outcome) {
    outbox->Heard(outcome);
    std::lock_guard hold(hearersLock_);
    if (sendOutcomes_) sendOutcomes_(sms, outcome);
  });
  pump = std::make_unique<OutboxPump>(*outbox);
  if (!trouble.empty()) Note(trouble);
}

MonitorCore::~MonitorCore() {
  lookup.reset();
  acquisition.reset();
  pump.reset();
  sender.reset();
  agentControl.reset();
  agent.reset();  // its worker tells the outbox the last outcomes
  outbox.reset();
  carrier.reset();
  outboxJournal.reset();
  com::CoUninitialize();
}
