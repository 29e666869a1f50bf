#include "smsservice/host/command_line.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTest, VerbTokensMatchWithoutCaseUpToTheTokensEnd) {
  EXPECT_EQ(FindVerb({"/service"}), HostVerb::kService);
  EXPECT_EQ(FindVerb({"-SERVICE"}), HostVerb::kService);
  EXPECT_EQ(FindVerb({"/Service\tnow"}), HostVerb::kService);  // a blank or tab ends the token
  EXPECT_EQ(FindVerb({"/Services"}), HostVerb::kNone);
  EXPECT_EQ(FindVerb({"Service", "--service", "/Servic", "/"}), HostVerb::kNone);
  EXPECT_EQ(FindVerb({"-regserverperuser"}), HostVerb::kRegServerPerUser);
  EXPECT_EQ(FindVerb({"/UnregServerPerUser"}), HostVerb::kUnregServerPerUser);
}

TEST(CommandLineTest, FirstRegistrationVerbDecidesAndServiceComesLast) {
  EXPECT_EQ(FindVerb({"/RegServer", "/UnregServer"}), HostVerb::kRegServer);
  EXPECT_EQ(FindVerb({"-UnregServer", "-RegServer"}), HostVerb::kUnregServer);
  EXPECT_EQ(FindVerb({"/Service", "/RegServer"}), HostVerb::kRegServer);
  EXPECT_EQ(FindVerb({"--port", "8300", "/Service"}), HostVerb::kService);
  EXPECT_EQ(FindVerb({}), HostVerb::kNone);
}

TEST(CommandLineTest, Options) {
  std::string error;
  auto options = ParseHostOptions({}, &error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->listenAddress, "127.0.0.1");
  EXPECT_EQ(options->port, 8200);

  options = ParseHostOptions({"-RegServer", "--listen", "0.0.0.0", "--port=65535", "--help"}, &error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->listenAddress, "0.0.0.0");
  EXPECT_EQ(options->port, 65535);
  EXPECT_TRUE(options->help);

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--port"}, {"--port", "0"}, {"--port", "65536"}, {"--port", "12x"}, {"--port="}, {"--listen="}}) {
    error.clear();
    EXPECT_FALSE(ParseHostOptions(bad, &error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
