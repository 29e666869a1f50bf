#include "smsservice/host/status_page.h"

#include <cstdio>

#include "platform/metrics/html_text.h"

namespace {

const char* StateText(int state) {
  switch (state) {
    case MODEM_READY: return "ready";
    case MODEM_OPENING: return "starting up";
    default: return "closed";
  }
}

std::string Row(const char* name, const std::string& value) {
  return "<tr><th>" + std::string(name) + "</th><td>" + HtmlEscaped(value) + "</td></tr>\n";
}

std::string TrafficTable(const std::vector<SmsTrace>& recent, bool outgoing, std::time_t now) {
  std::string rows;
  for (const SmsTrace& sms : recent) {
    if (sms.outgoing != outgoing) continue;
    rows += "<tr><td>" + ClockText(sms.when, now) + "</td><td class=\"number\">" +
            HtmlEscaped(MaskedNumber(sms.number)) + "</td><td>" + HtmlEscaped(FirstCharacters(sms.text, 20)) + "</td>";
    if (outgoing)
      rows += std::string("<td class=\"") + (sms.outcome == "sent" ? "good" : "bad") + "\">" +
              HtmlEscaped(sms.outcome) + "</td>";
    rows += "</tr>\n";
  }
  if (rows.empty()) return "<p class=\"none\">none since the service started</p>\n";
  std::string head = outgoing ? "<tr><th>Time</th><th>To</th><th>Text</th><th></th></tr>\n"
                              : "<tr><th>Time</th><th>From</th><th>Text</th></tr>\n";
  return "<table class=\"traffic\">\n" + head + rows + "</table>\n";
}

}  // namespace

std::string QuillonStatusPage(const ModemReport& report, const std::vector<SmsTrace>& recent, std::time_t now) {
  const HealthSnapshot& health = report.health;
  std::string port = "COM" + std::to_string(report.port);
  auto dbm = SignalDbm(health.signalCsq);
  std::string signal = dbm ? std::to_string(health.signalCsq) + " (" + std::to_string(*dbm) + " dBm)" : "not known";
  std::string storage = health.storageUsed < 0 ? "not known"
                                               : std::to_string(health.storageUsed) + " of " +
                                                     std::to_string(health.storageTotal) + " used";
  std::string modem = health.identity.maker.empty() && health.identity.model.empty()
                          ? "not known"
                          : health.identity.maker + " " + health.identity.model +
                                (health.identity.imei.empty() ? "" : ", IMEI " + health.identity.imei);
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta http-equiv=\"refresh\" content=\"10\"><title>Quillon " +
      port + " " + StateText(report.state) +
      "</title>\n<style>body{font-family:sans-serif;margin:1.5em;color:#222}"
      "table{border-collapse:collapse;margin-bottom:1em}th,td{padding:.25em .8em;text-align:left;"
      "border-bottom:1px solid #ddd}.facts th{width:9em;color:#555}.state-0{color:#1a7f37}.state-1{color:#9a6700}"
      ".state-2{color:#cf222e}.good{color:#1a7f37}.bad{color:#cf222e}.number{font-family:monospace}"
      ".none{color:#777}</style></head>\n<body>\n<h1>Quillon <span class=\"state-" +
      std::to_string(report.state) + "\">" + port + " " + StateText(report.state) +
      "</span></h1>\n<table class=\"facts\">\n";
  page += Row("Port", port + " at " + std::to_string(report.baud) + " baud");
  page += Row("Modem", modem);
  page += Row("Network", RegistrationName(health.registration));
  page += Row("Signal", signal);
  page += Row("Storage", storage);
  page += Row("Queues", std::to_string(report.sendQueue) + " to send, " + std::to_string(report.receiveQueue) +
                            " received for clients");
  page += Row("Given up", std::to_string(health.givenUp));
  page += Row("Recoveries", std::to_string(health.recoveries));
  page += Row("Last error", health.lastError.empty() ? "none" : health.lastError);
  page += "</table>\n<h2>Received</h2>\n" + TrafficTable(recent, false, now) + "<h2>Sent</h2>\n" +
          TrafficTable(recent, true, now) + "<p><a href=\"/metrics\">/metrics</a> · " + ClockText(now, now) +
          "</p>\n</body></html>\n";
  return page;
}
