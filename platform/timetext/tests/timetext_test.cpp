#include "platform/timetext/timetext.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace timetext {
namespace {

// POSIX zone strings need no zone database: CST-8 is China time (UTC+8, no
// daylight saving), and the CET rule switches at 02:00 on 2024-03-31.
constexpr const char* kUtc = "UTC0";
constexpr const char* kChina = "CST-8";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// 2024-02-29 00:00:00 UTC.
constexpr std::time_t kLeapDayUtc = 1709164800;

class TimeTextTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) savedTz_ = tz;
  }
  void TearDown() override {
    if (savedTz_) {
      ::setenv("TZ", savedTz_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  static void UseZone(const char* tz) {
    ::setenv("TZ", tz, 1);
    ::tzset();
  }

 private:
  std::optional<std::string> savedTz_;
};

TEST_F(TimeTextTest, FormatsAndParsesInLocalTime) {
  UseZone(kUtc);
  EXPECT_EQ(FormatLocalTime(kLeapDayUtc), "2024-02-29 00:00:00");
  EXPECT_EQ(ParseLocalTime("2024-02-29 00:00:00"), kLeapDayUtc);
  EXPECT_EQ(ParseLocalTime("1969-12-31 23:59:59"), std::time_t{-1});

  UseZone(kChina);
  EXPECT_EQ(FormatLocalTime(kLeapDayUtc), "2024-02-29 08:00:00");
  EXPECT_EQ(ParseLocalTime("2024-02-29 08:00:00"), kLeapDayUtc);
  EXPECT_EQ(FormatLocalTime(std::chrono::system_clock::from_time_t(kLeapDayUtc) + std::chrono::milliseconds(999)),
            "2024-02-29 08:00:00");
}

TEST_F(TimeTextTest, RoundTripsAcrossTheYear) {
  for (const char* zone : {kUtc, kChina, kCentralEurope}) {
    UseZone(zone);
    // Steps of 1 h 1 min 1 s over a year reach every hour, minute and second.
    for (std::time_t t = kLeapDayUtc; t < kLeapDayUtc + 366 * 86400; t += 3661) {
      const std::string text = FormatLocalTime(t);
      const std::optional<std::time_t> parsed = ParseLocalTime(text);
      ASSERT_TRUE(parsed) << zone << " " << text;
      // The autumn hour that repeats may come back as its other instant.
      if (*parsed != t) {
        ASSERT_EQ(FormatLocalTime(*parsed), text) << zone;
      }
    }
  }
}

TEST_F(TimeTextTest, RefusesAnythingElse) {
  UseZone(kChina);
  for (const char* text : {"2000-00-00 12:00:00",  // the settings file's default
                           "2024-13-01 00:00:00", "2023-02-29 00:00:00", "2024-02-30 00:00:00", "2024-04-31 00:00:00",
                           "2024-01-01 24:00:00", "2024-01-01 00:60:00", "2024-01-01 00:00:60", "2024-01-01 00:00:00x",
                           "2024-01-01 00:00:0", "2024-1-01 00:00:00", "2024-01-01T00:00:00", " 2024-01-01 00:00:00",
                           "2024-01-01  0:00:00", "2024/01/01 00:00:00", "+024-01-01 00:00:00", ""}) {
    EXPECT_EQ(ParseLocalTime(text), std::nullopt) << '"' << text << '"';
  }
  EXPECT_TRUE(ParseLocalTime("2000-02-29 23:59:59"));
  EXPECT_TRUE(ParseLocalTime("2024-12-31 23:59:59"));
}

TEST_F(TimeTextTest, RefusesTimeSkippedByDaylightSaving) {
  UseZone(kCentralEurope);
  EXPECT_EQ(ParseLocalTime("2024-03-31 02:30:00"), std::nullopt);
  EXPECT_TRUE(ParseLocalTime("2024-03-31 03:30:00"));
  // The hour repeated in autumn is a real time, read as either of its instants.
  EXPECT_TRUE(ParseLocalTime("2024-10-27 02:30:00"));
}

}  // namespace
}  // namespace timetext
