// What every face of the monitor that polls the platform sets up the same
// way: the component model, the settings, the client agent in send mode
// (not connected), the acquisition and the alerts' ports over them.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/kestrum_agent.h"
#include "common/modem_agent_control.h"
#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/alerts/sms_outbox.h"
#include "monitor/app/monitor_adapters.h"
#include "monitor/app/monitor_tally.h"
#include "monitor/app/monitor_watch.h"
#include "monitor/settings/monitor_settings.h"
#include "platform/clock/clock.h"

class MonitorCore {
 public:
  // `reportSms` hears every SMS handed to the agent (peer, GBK text,
  // accepted). On failure nothing is returned and `error` (UTF-8) says why.
  // `settings` (the process's, from main) is loaded here and must outlive
  // the core.
  static std::unique_ptr<MonitorCore> Start(MonitorSettings& settings,
                                            std::function<void(const std::string&, const std::string&, bool)> reportSms,
                                            std::string& error);
  // Joins the agent's worker, then leaves the component model.
  ~MonitorCore();
  MonitorCore(const MonitorCore&) = delete;
  MonitorCore& operator=(const MonitorCore&) = delete;

  MonitorSettings& settings;
  // Hear, in UTF-8, what the outbox has to say (a message given up, a
  // journal that cannot be written), and how each message handed to the
  // service ended; standard error and nothing until set. Both are called
  // from other threads.
  void SetNotes(std::function<void(const std::string&)> notes);
  void SetSendOutcomes(std::function<void(const SmsRecord&, SendOutcome)> outcomes);
  std::unique_ptr<KestrumAgent> agent;
  std::unique_ptr<KestrumAgentControl> agentControl;
  std::unique_ptr<AgentCarrier> carrier;
  // vigimon.db in the program directory; in memory when it cannot be written.
  std::unique_ptr<OutboxJournal> outboxJournal;
  std::unique_ptr<SmsOutbox> outbox;
  std::unique_ptr<ReportingSender> sender;  // into the outbox
  std::unique_ptr<OutboxPump> pump;
  std::unique_ptr<TerminalAcquisition> acquisition;
  std::unique_ptr<AcquisitionLookup> lookup;
  // The monitoring's figures for the metrics port; the face hands it to its
  // monitoring logic as the observer.
  MonitorTally tally{SystemClock()};

  // What the metrics port may read from its own threads.
  MonitorWatch Watch() const { return {tally, *agentControl}; }

 private:
  explicit MonitorCore(MonitorSettings& settings);
  void OpenOutbox();
  void Note(const std::string& line);

  std::mutex hearersLock_;
  std::function<void(const std::string&)> notes_;
  std::function<void(const SmsRecord&, SendOutcome)> sendOutcomes_;
};
