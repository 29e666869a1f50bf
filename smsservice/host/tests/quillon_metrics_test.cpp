// What Quillon's metrics port shows, read as Prometheus and a person would:
// the text format of a scrape, and the status page.
#include "smsservice/host/quillon_metrics.h"

#include <memory>
#include <sstream>

#include <gtest/gtest.h>
#include <prometheus/text_serializer.h>

#include "platform/clock/manual_clock.h"
#include "smsservice/host/status_page.h"
#include "smsservice/modem/tests/modem_test_support.h"

namespace {

std::string Scrape(const prometheus::Collectable& collectable) {
  std::ostringstream out;
  prometheus::TextSerializer().Serialize(out, collectable.Collect());
  return out.str();
}

// A port with no modem behind it.
class NoModem : public RecordingPort {
 public:
  bool Open(const std::string&, uint32_t, serial::Parity, int, serial::StopBits) override { return false; }
  int Read(void*, int) override { return 0; }
};

// A modem whose port never opens: closed, nothing known yet.
TEST(QuillonMetrics, AScrapeTellsTheModemAsItIsAndCountsRequestsByType) {
  ManualClock clock;
  CGsmMorden modem(std::make_unique<NoModem>(), clock);
  RequestTally requests;
  requests.Count(TP_SMS_FETCH);
  requests.Count(TP_SMS_FETCH);
  requests.Count(TP_MODEM_OPEN);
  requests.Count(99);
  requests.CountRejected();
  std::string text = Scrape(QuillonMetrics(modem, requests));
  EXPECT_NE(text.find("quillon_modem_state{port=\"COM1\"} 0\n"), std::string::npos) << text;  // closed
  EXPECT_NE(text.find("quillon_modem_registered 0\n"), std::string::npos);
  EXPECT_NE(text.find("quillon_modem_signal_csq 99\n"), std::string::npos);
  EXPECT_NE(text.find("# TYPE quillon_sms_sent_total counter\n"), std::string::npos);
  EXPECT_NE(text.find("quillon_requests_total{type=\"sms_fetch\"} 2\n"), std::string::npos);
  EXPECT_NE(text.find("quillon_requests_total{type=\"modem_open\"} 1\n"), std::string::npos);
  EXPECT_NE(text.find("quillon_requests_total{type=\"unknown\"} 1\n"), std::string::npos);
  EXPECT_NE(text.find("quillon_requests_total{type=\"invalid\"} 1\n"), std::string::npos);
}

// Numbers hidden but for their last four digits, texts cut at 20
// characters and never able to break the page.
TEST(QuillonStatusPage, ShowsTheModemAndTheLastMessagesMaskedAndEscaped) {
  ModemReport report;
  report.state = MODEM_READY;
  report.port = 3;
  report.health.registration = 1;
  report.health.signalCsq = 23;
  report.sendQueue = 2;
  std::vector<SmsTrace> recent = {
      {false, "8613811112222", "各位注意：今天下午三点在二号楼前举行消防演练，请全体人员", 1000, "received"},
      {true, "8613900001234", "<script>alert(1)</script>", 1000, "given up"},
  };
  std::string page = QuillonStatusPage(report, recent, 1000);
  EXPECT_NE(page.find("COM3 ready"), std::string::npos);
  EXPECT_NE(page.find("23 (-67 dBm)"), std::string::npos);
  EXPECT_NE(page.find("<meta http-equiv=\"refresh\" content=\"10\">"), std::string::npos);
  EXPECT_NE(page.find("*********2222"), std::string::npos);
  EXPECT_EQ(page.find("8613811112222"), std::string::npos);
  EXPECT_NE(page.find("各位注意：今天下午三点在二号楼前举行消防…"), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/sc…"), std::string::npos);
  EXPECT_NE(page.find("given up"), std::string::npos);
}

}  // namespace
