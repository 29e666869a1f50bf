// A modem driver on a fresh modemsim for each test, over a real
// pseudo-terminal, with the engine's waits ten times faster than in service.
#pragma once

#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "smsservice/modem/gsm_modem.h"
#include "tests/e2e/support/modem_sim.h"

class ModemOnSim : public ::testing::Test {
 protected:
  ModemOnSim(int com, int storageSlots) : com_(com), storageSlots_(storageSlots) {}

  static void SetUpTestSuite() { setenv("QUILLON_TIME_SCALE", "0.1", 0); }

  void SetUp() override {
    sim = std::make_unique<ModemSim>(com_, storageSlots_);
    setenv("QUILLON_DEVICE_DIR", sim->deviceDir().c_str(), 1);
    modem = std::make_unique<CGsmMorden>();
  }
  void TearDown() override {
    modem.reset();
    sim.reset();
  }

  bool OpenReady(double seconds = 10) {
    modem->Open(sim->com(), 19200);
    return WaitUntil([&] { return modem->GetModemState() == MODEM_READY; }, seconds);
  }

  std::unique_ptr<ModemSim> sim;
  std::unique_ptr<CGsmMorden> modem;

 private:
  int com_;
  int storageSlots_;
};
