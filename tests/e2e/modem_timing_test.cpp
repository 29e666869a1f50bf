// The engine's own pace, at its real timings.
#include <cstdlib>

#include <gtest/gtest.h>

#include "smsservice/modem/gsm_modem.h"
#include "tests/e2e/support/modem_sim.h"

namespace {

TEST(ModemTiming, ListingsComeALittleMoreThanFiveSecondsApart) {
  ModemSim sim(6);
  setenv("QUILLON_DEVICE_DIR", sim.deviceDir().c_str(), 1);
  CGsmMorden modem;
  modem.Open(sim.com(), 19200);
  ASSERT_TRUE(WaitUntil([&] { return modem.GetModemState() == MODEM_READY; }, 15));
  ASSERT_TRUE(WaitUntil([&] { return sim.TimesOf("AT+CMGL=0").size() >= 3; }, 20));
  auto times = sim.TimesOf("AT+CMGL=0");
  for (size_t i = 1; i < times.size(); ++i) {
    long gap = times[i] - times[i - 1];
    EXPECT_GE(gap, 5000) << "listing " << i;
    EXPECT_LE(gap, 5900) << "listing " << i;  // 5 s idle, one 300 ms poll, the listing's own reads
  }
}

}  // namespace
