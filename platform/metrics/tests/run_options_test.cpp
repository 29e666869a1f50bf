#include "platform/metrics/run_options.h"

#include <gtest/gtest.h>

namespace {

std::optional<RunOptions> Parse(const std::vector<std::string>& args, std::string* error = nullptr) {
  std::string why;
  std::optional<RunOptions> options = ParseRunOptions(args, why);
  if (error) *error = why;
  return options;
}

TEST(RunOptions, MetricsComeWithHeadlessInEitherOrderOrAlone) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--headless", "--metrics", "127.0.0.1:9814"},
                                                                {"--metrics", "127.0.0.1:9814", "--headless"},
                                                                {"--metrics=127.0.0.1:9814", "--headless"}}) {
    auto options = Parse(args);
    ASSERT_TRUE(options) << args[0];
    EXPECT_TRUE(options->headless);
    EXPECT_EQ(options->metrics, "127.0.0.1:9814");
  }
  auto window = Parse({"--metrics", "localhost:9815"});
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->headless);
  EXPECT_EQ(window->metrics, "localhost:9815");

  auto plain = Parse({});
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->headless);
  EXPECT_EQ(plain->metrics, "");
}

TEST(RunOptions, ABadOrMissingAddressOrAStrayArgumentIsRefusedWithItsReason) {
  std::string error;
  EXPECT_FALSE(Parse({"--headless", "--metrics"}, &error));
  EXPECT_NE(error.find("HOST:PORT"), std::string::npos);
  // The address must not be taken for the next option, nor a port alone for an address.
  EXPECT_FALSE(Parse({"--metrics", "--headless"}, &error));
  EXPECT_NE(error.find("\"--headless\""), std::string::npos);
  EXPECT_FALSE(Parse({"--metrics", "9814", "--headless"}, &error));
  EXPECT_FALSE(Parse({"--metrics", "127.0.0.1:70000"}, &error));
  EXPECT_NE(error.find("\"127.0.0.1:70000\""), std::string::npos);
  EXPECT_FALSE(Parse({"--metrics", "127.0.0.1:9814", "--metrics", "127.0.0.1:9815"}, &error));
  EXPECT_FALSE(Parse({"--headless", "--version"}, &error));
  EXPECT_NE(error.find("\"--version\""), std::string::npos);
}

}  // namespace
