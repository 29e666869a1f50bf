#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/serial/custom_rate.h"
#include "platform/serial/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

class PtyPair : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256];
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    path_ = name;
  }
  void TearDown() override {
    close(master_);
    close(slave_);
  }
  long MillisOf(const std::function<void()>& step) {
    auto start = Clock::now();
    step();
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  }

  int master_ = -1, slave_ = -1;
  std::string path_;
};

TEST_F(PtyPair, BytesPassUntouchedBothWays) {
  auto port = serial::MakeTermiosPort();
  ASSERT_TRUE(port->Open(path_, 19200, serial::Parity::None, 8, serial::StopBits::One));
  const char command[] = "AT+CMGS=12\r\n";
  EXPECT_EQ(port->Write(command, 12), 12);
  char seen[32] = {};
  EXPECT_EQ(read(master_, seen, sizeof seen), 12);
  EXPECT_STREQ(seen, command);  // no CR/LF mapping, nothing added

  ASSERT_EQ(write(master_, "\r\n> ", 4), 4);
  char reply[128] = {};
  EXPECT_EQ(port->Read(reply, 128), 4);
  EXPECT_STREQ(reply, "\r\n> ");
  pollfd echoed{master_, POLLIN, 0};
  EXPECT_EQ(poll(&echoed, 1, 50), 0);  // the port did not echo the modem's bytes back
}

TEST_F(PtyPair, ReadEndsOnTotalTimeOutOrOnAQuietLine) {
  auto port = serial::MakeTermiosPort();
  ASSERT_TRUE(port->Open(path_, 9600, serial::Parity::None, 8, serial::StopBits::One));
  char buffer[128];
  long silent = MillisOf([&] { EXPECT_EQ(port->Read(buffer, 128), 0); });
  EXPECT_GE(silent, 600);  // 128 bytes x 1 ms + 500 ms
  EXPECT_LT(silent, 1500);

  std::thread modem([&] {
    (void)!write(master_, "\r\nOK", 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    (void)!write(master_, "\r\n", 2);
  });
  long answered = MillisOf([&] { EXPECT_EQ(port->Read(buffer, 128), 6); });
  modem.join();
  EXPECT_LT(answered, 500);  // the 100 ms quiet interval ends it, not the total
}

TEST_F(PtyPair, RatesOutsideTheTermiosTableAreSetOnTheLine) {
  // Rates a Windows port offers that termios lacks, and one nobody offers.
  for (uint32_t baud : {14400u, 56000u, 128000u, 256000u, 12345u}) {
    auto port = serial::MakeTermiosPort();
    ASSERT_TRUE(port->Open(path_, baud, serial::Parity::None, 8, serial::StopBits::One)) << baud;
    EXPECT_EQ(serial::CurrentRate(slave_), baud);
  }
  auto port = serial::MakeTermiosPort();
  ASSERT_TRUE(port->Open(path_, 19200, serial::Parity::None, 8, serial::StopBits::One));
  EXPECT_EQ(serial::CurrentRate(slave_), 19200u);  // table rates as before
  EXPECT_FALSE(port->Open(path_, 0, serial::Parity::None, 8, serial::StopBits::One));
}

TEST_F(PtyPair, OpenIsExclusiveAndNeedsAnExistingDevice) {
  auto first = serial::MakeTermiosPort();
  auto second = serial::MakeTermiosPort();
  ASSERT_TRUE(first->Open(path_, 19200, serial::Parity::None, 8, serial::StopBits::One));
  EXPECT_FALSE(second->Open(path_, 19200, serial::Parity::None, 8, serial::StopBits::One));
  first->Close();
  EXPECT_TRUE(second->Open(path_, 19200, serial::Parity::None, 8, serial::StopBits::One));
  EXPECT_FALSE(first->Open("/nonexistent/COM1", 19200, serial::Parity::None, 8, serial::StopBits::One));
  EXPECT_FALSE(first->IsOpen());
  EXPECT_EQ(first->Write("x", 1), 0);
}

TEST(DevicePath, ComNamesMapToTheDeviceFolder) {
  setenv("QUILLON_DEVICE_DIR", "/tmp/devs", 1);
  EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM3"), "/tmp/devs/COM3");
  EXPECT_EQ(serial::ResolveDevicePath("COM12"), "/tmp/devs/COM12");
  EXPECT_EQ(serial::ResolveDevicePath("COM0"), "");
  EXPECT_EQ(serial::ResolveDevicePath("LPT1"), "");
  EXPECT_EQ(serial::ResolveDevicePath("\\\\.\\COM1/../x"), "");
  unsetenv("QUILLON_DEVICE_DIR");
  if (!std::filesystem::exists("/dev/quillon/COM4")) {
    EXPECT_EQ(serial::ResolveDevicePath("COM4"), "/dev/ttyS3");
  }
}

}  // namespace
