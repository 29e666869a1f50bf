#include "monitor/app/vigimon_status_page.h"

#include "platform/metrics/html_text.h"

namespace {

struct Shown {
  std::string text;
  const char* style;
};

// The window's status bar says the same.
Shown SmsText(SmsLink link) {
  switch (link) {
    case SmsLink::Ready: return {"短信猫已连接", "good"};
    case SmsLink::Connecting: return {"短信猫正在连接...", "warn"};
    case SmsLink::Idle: break;
  }
  return {"短信猫未连接", "bad"};
}

Shown PlatformText(const MonitorFigures& figures) {
  if (!figures.acquired) return {"正在连接...", "warn"};
  return figures.platformUp ? Shown{"系统连接正常", "good"} : Shown{"系统连接错误", "bad"};
}

std::string AlertText(std::time_t alertedAt, std::time_t now) {
  return alertedAt == 0 ? "未发送" : "已发送 " + ClockText(alertedAt, now);
}

std::string Fact(const char* name, const std::string& value, const char* style = "") {
  return "<tr><th>" + std::string(name) + "</th><td class=\"" + style + "\">" + HtmlEscaped(value) + "</td></tr>\n";
}

std::string AreaTable(const MonitorFigures& figures, std::time_t now) {
  if (figures.areas.empty()) return "<p class=\"none\">没有终端分组</p>\n";
  std::string table =
      "<table class=\"areas\">\n<tr><th>终端分组</th><th>离线</th><th>总数</th><th>告警短信</th></tr>\n";
  for (const AreaFigures& area : figures.areas) {
    table += "<tr><td>" + HtmlEscaped(area.name) + "</td><td class=\"count" + (area.offline > 0 ? " bad" : "") + "\">" +
             std::to_string(area.offline) + "</td><td class=\"count\">" + std::to_string(area.total) +
             "</td><td class=\"" + (area.alertedAt != 0 ? "bad" : "none") + "\">" +
             HtmlEscaped(AlertText(area.alertedAt, now)) + "</td></tr>\n";
  }
  return table + "</table>\n";
}

}  // namespace

std::string VigimonStatusPage(const VigimonStatus& status, std::time_t now) {
  const MonitorFigures& figures = status.figures;
  Shown sms = SmsText(status.sms);
  Shown platform = PlatformText(figures);
  std::string terminals = "在线 " + std::to_string(figures.online) + "，离线 " + std::to_string(figures.offline) +
                          "，共 " + std::to_string(figures.online + figures.offline);
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
      "<meta http-equiv=\"refresh\" content=\"10\"><title>终端故障监控 · " +
      platform.text +
      "</title>\n<style>body{font-family:sans-serif;margin:1.5em;color:#222}"
      "table{border-collapse:collapse;margin-bottom:1em}th,td{padding:.25em .8em;text-align:left;"
      "border-bottom:1px solid #ddd}.facts th{width:7em;color:#555}.count{text-align:right}.good{color:#1a7f37}"
      ".warn{color:#9a6700}.bad{color:#cf222e}.none{color:#777}</style></head>\n<body>\n"
      "<h1>终端故障监控 Vigimon</h1>\n<table class=\"facts\">\n";
  page += Fact("短信猫", sms.text, sms.style);
  page += Fact("系统连接", platform.text, platform.style);
  page += Fact("终端", terminals, figures.offline > 0 ? "bad" : "");
  page += Fact("最后刷新", figures.acquired ? ClockText(figures.acquiredAt, now) : "尚未刷新");
  page += Fact("全部终端告警", AlertText(figures.installationAlertedAt, now),
               figures.installationAlertedAt != 0 ? "bad" : "none");
  page += Fact("启动以来", "告警短信 " + std::to_string(figures.alertsSent) + " 条，报告短信 " +
                               std::to_string(figures.reportsSent) + " 条");
  page += "</table>\n<h2>终端分组</h2>\n" + AreaTable(figures, now) + "<p><a href=\"/metrics\">/metrics</a> · " +
          ClockText(now, now) + "</p>\n</body></html>\n";
  return page;
}
