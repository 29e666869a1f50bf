// The programs call the platform's components by function-table slot, so
// each method must sit exactly where the platform has it.
#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/com/connection_interfaces.h"
#include "platform/com/dispatch.h"
#include "platform/com/stream_interfaces.h"
#include "platform/com/terminal_interfaces.h"

namespace {

using namespace com;

// Under the Itanium C++ ABI (x86), a pointer to a virtual member function
// holds 1 + the byte offset of its entry in the function table.
template <class Member>
ptrdiff_t SlotOf(Member member) {
  struct Representation {
    ptrdiff_t pointer;
    ptrdiff_t adjustment;
  };
  static_assert(sizeof(Member) == sizeof(Representation));
  Representation r;
  std::memcpy(&r, &member, sizeof r);
  return (r.pointer - 1) / static_cast<ptrdiff_t>(sizeof(void*));
}

class InterfaceSlots : public ::testing::Test {
 protected:
  void SetUp() override {
#if !(defined(__x86_64__) || defined(__i386__))
    GTEST_SKIP() << "slot check written for the x86 Itanium ABI";
#endif
  }
};

TEST_F(InterfaceSlots, FoundationInterfaces) {
  EXPECT_EQ(SlotOf(&IUnknown::QueryInterface), 0);
  EXPECT_EQ(SlotOf(&IUnknown::Release), 2);
  EXPECT_EQ(SlotOf(&IDispatch::Invoke), 6);
  EXPECT_EQ(SlotOf(&IConnectionPointContainer::FindConnectionPoint), 4);
  EXPECT_EQ(SlotOf(&IConnectionPoint::Advise), 5);
  EXPECT_EQ(SlotOf(&IConnectionPoint::Unadvise), 6);
}

TEST_F(InterfaceSlots, AudioComponents) {
  EXPECT_EQ(SlotOf(&IStreamControl::Connect), 7);
  EXPECT_EQ(SlotOf(&IStreamControl::Start), 10);
  EXPECT_EQ(SlotOf(&IStreamControl::Stop), 11);
  EXPECT_EQ(SlotOf(&IFilePlayback::OpenFile), 7);
  EXPECT_EQ(SlotOf(&INetworkStream::SetSession), 7);
  EXPECT_EQ(SlotOf(&INetworkStream::SetServer), 8);
  EXPECT_EQ(SlotOf(&IDB_FileEofEvent::FileEof), 7);
}

TEST_F(InterfaceSlots, TerminalInformation) {
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetTerminalCount), 10);
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetTerminalIds), 11);
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetAreaCount), 25);
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetAreaIds), 26);
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetAreaName), 27);
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetAreaTerminals), 28);
  EXPECT_EQ(SlotOf(&ITerminalDirectory::GetTerminalAddresses), 30);
  EXPECT_EQ(SlotOf(&ITerminalItem::GetTag), 8);
  EXPECT_EQ(SlotOf(&ITerminalItem::GetName), 10);
  EXPECT_EQ(SlotOf(&ITerminalItem::GetState), 22);
  EXPECT_EQ(SlotOf(&ITerminalItem::SetId), 34);
  EXPECT_EQ(SlotOf(&ITerminalItem::GetFaultCode), 42);
}

}  // namespace
