#include "platform/com/apartment.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace com;
using namespace std::chrono_literals;

class ApartmentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(), S_OK); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(ApartmentTest, PostedCallbacksRunOnlyOnTheOwningThread) {
  auto apartment = Apartment::Current();
  ASSERT_TRUE(apartment);
  std::vector<std::thread::id> ranOn;
  std::vector<int> order;
  std::thread poster([&] {
    for (int i = 0; i < 3; ++i)
      apartment->Post([&, i] {
        ranOn.push_back(std::this_thread::get_id());
        order.push_back(i);
      });
    // Another thread cannot drain the queue for the owner.
    EXPECT_EQ(apartment->RunPending(), 0u);
    EXPECT_FALSE(apartment->RunUntil([] { return false; }, 10ms));
  });
  poster.join();
  EXPECT_TRUE(order.empty());  // nothing runs until the owner's loop does
  EXPECT_EQ(apartment->RunPending(), 3u);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  for (auto id : ranOn) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(ApartmentTest, RunUntilWaitsForLatePosts) {
  auto apartment = Apartment::Current();
  std::atomic<bool> done{false};
  std::thread late([&] {
    std::this_thread::sleep_for(30ms);
    apartment->Post([&] { done = true; });
  });
  EXPECT_TRUE(apartment->RunUntil([&] { return done.load(); }, 5s));
  late.join();
  EXPECT_FALSE(apartment->RunUntil([] { return false; }, 20ms));
  EXPECT_EQ(apartment->RunFor(20ms), 0u);
}

TEST_F(ApartmentTest, CallbackPostedDuringARunWaitsForTheNextOne) {
  auto apartment = Apartment::Current();
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    apartment->Post(again);
  };
  apartment->Post(again);
  EXPECT_EQ(apartment->RunPending(), 1u);
  EXPECT_EQ(apartment->RunPending(), 1u);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(apartment->PendingCount(), 1u);
}

TEST_F(ApartmentTest, WakeUpIsCalledForEachPostAndForAWaitingQueue) {
  auto apartment = Apartment::Current();
  apartment->Post([] {});
  std::atomic<int> wakeUps{0};
  apartment->SetWakeUp([&] { ++wakeUps; });
  EXPECT_EQ(wakeUps, 1);  // something was already waiting
  std::thread([&] { apartment->Post([] {}); }).join();
  EXPECT_EQ(wakeUps, 2);
  apartment->SetWakeUp(nullptr);
  apartment->Post([] {});
  EXPECT_EQ(wakeUps, 2);
  EXPECT_EQ(apartment->RunPending(), 3u);
}

TEST(ApartmentLifetime, NestedInitialisationAndClosing) {
  EXPECT_FALSE(Apartment::Current());
  ASSERT_EQ(CoInitialize(), S_OK);
  EXPECT_EQ(CoInitialize(), S_FALSE);
  auto apartment = Apartment::Current();
  CoUninitialize();
  EXPECT_EQ(Apartment::Current(), apartment);  // still inside the outer one
  bool ran = false;
  apartment->Post([&] { ran = true; });
  CoUninitialize();
  EXPECT_FALSE(Apartment::Current());
  // A closed apartment drops what was queued and refuses more.
  EXPECT_FALSE(apartment->Post([&] { ran = true; }));
  EXPECT_EQ(apartment->RunPending(), 0u);
  EXPECT_FALSE(ran);
  EXPECT_EQ(CoInitialize(reinterpret_cast<void*>(1)), E_INVALIDARG);

  // A thread that ends without CoUninitialize closes its apartment too.
  std::shared_ptr<Apartment> abandoned;
  std::thread([&] {
    CoInitialize();
    abandoned = Apartment::Current();
  }).join();
  EXPECT_FALSE(abandoned->Post([] {}));
}

}  // namespace
