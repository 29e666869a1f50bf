#include "monitor/app/monitor_watch.h"

SmsLink SmsLinkOf(const ModemAgentView& agent) {
  if (!agent.ConnectRequested()) return SmsLink::Idle;
  return agent.ModemReady() ? SmsLink::Ready : SmsLink::Connecting;
}

VigimonStatus ReadStatus(const MonitorWatch& watch) { return {SmsLinkOf(watch.agent), watch.tally.Figures()}; }
