#include "gateway/app/heraldo_status_page.h"

#include "platform/metrics/html_text.h"

namespace {

struct Shown {
  std::string text;
  const char* style;
};

// The window's status pane says the same.
Shown SmsServiceText(SmsServiceState state) {
  switch (state) {
    case SmsServiceState::Ready: return {"短信猫已连接", "good"};
    case SmsServiceState::Connecting: return {"短信猫正在连接...", "warn"};
    case SmsServiceState::Idle: break;
  }
  return {"短信猫未连接", "bad"};
}

Shown ServerText(const HeraldoStatus& status, std::time_t now) {
  switch (status.server) {
    case ServerContact::State::Reached:
      return {"连接正常（最后联系 " + ClockText(status.serverLearnt, now) + "）", "good"};
    case ServerContact::State::Missed: return {"连接失败（" + ClockText(status.serverLearnt, now) + "）", "bad"};
    case ServerContact::State::NotYet: break;
  }
  return {"尚未联系（播放消息时联系）", "none"};
}

const char* ResultStyle(BroadcastResult result) {
  switch (result) {
    case BroadcastResult::Played: return "good";
    case BroadcastResult::Refused: return "none";
    case BroadcastResult::Failed: break;
  }
  return "bad";
}

std::string Fact(const char* name, const std::string& value, const char* style = "") {
  return "<tr><th>" + std::string(name) + "</th><td class=\"" + style + "\">" + HtmlEscaped(value) + "</td></tr>\n";
}

std::string RecentTable(const std::vector<RecentBroadcast>& recent) {
  if (recent.empty()) return "<p class=\"none\">启动以来尚无广播</p>\n";
  std::string table =
      "<table class=\"recent\">\n<tr><th>时间</th><th>号码</th><th>消息内容</th><th>广播状态</th></tr>\n";
  for (const RecentBroadcast& broadcast : recent) {
    table += "<tr><td>" + HtmlEscaped(broadcast.time) + "</td><td class=\"number\">" +
             HtmlEscaped(MaskedNumber(broadcast.number)) + "</td><td>" +
             HtmlEscaped(FirstCharacters(broadcast.text, 20)) + "</td><td class=\"" + ResultStyle(broadcast.result) +
             "\">" + HtmlEscaped(broadcast.stateText) + "</td></tr>\n";
  }
  return table + "</table>\n";
}

}  // namespace

std::string HeraldoStatusPage(const HeraldoStatus& status, std::time_t now) {
  Shown sms = SmsServiceText(status.smsService);
  Shown server = ServerText(status, now);
  const auto& results = status.results;
  std::string tally = "收到短信 " + std::to_string(status.received) + " 条；播放完成 " +
                      std::to_string(results[static_cast<size_t>(BroadcastResult::Played)]) + " 条，未播放 " +
                      std::to_string(results[static_cast<size_t>(BroadcastResult::Refused)]) + " 条，播放失败 " +
                      std::to_string(results[static_cast<size_t>(BroadcastResult::Failed)]) + " 条";
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
      "<meta http-equiv=\"refresh\" content=\"10\"><title>短信接入网关 · " +
      sms.text +
      "</title>\n<style>body{font-family:sans-serif;margin:1.5em;color:#222}"
      "table{border-collapse:collapse;margin-bottom:1em}th,td{padding:.25em .8em;text-align:left;"
      "border-bottom:1px solid #ddd}.facts th{width:7em;color:#555}.good{color:#1a7f37}.warn{color:#9a6700}"
      ".bad{color:#cf222e}.none{color:#777}.number{font-family:monospace}</style></head>\n<body>\n"
      "<h1>短信接入网关 Heraldo</h1>\n<table class=\"facts\">\n";
  page += Fact("短信服务", sms.text, sms.style);
  page += Fact("广播服务器", server.text, server.style);
  page += Fact("等待播放", std::to_string(status.queueLength) + " 条");
  page += Fact("启动以来", tally);
  page += "</table>\n<h2>最近广播</h2>\n" + RecentTable(status.recent) + "<p><a href=\"/metrics\">/metrics</a> · " +
          ClockText(now, now) + "</p>\n</body></html>\n";
  return page;
}
