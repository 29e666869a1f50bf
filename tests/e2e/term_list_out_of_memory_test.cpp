// A term list line whose copy cannot be allocated, read from bcsim: the agent
// reports it with the gateway's own exception, and each caller takes it as a
// list it could not get instead of ending the program.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gateway/app/gateway_adapters.h"
#include "gateway/broadcast/bc_agent.h"
#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/dialogs/term_list_source.h"
#include "platform/codepage/codepage.h"
#include "tests/e2e/support/bc_sim.h"
#include "tests/e2e/support/broadcast_log_capture.h"

namespace {

// While armed, allocations of 40,000 to 65,535 bytes fail: here only the copy
// of the 50,000-byte line asks for that much (the command buffer is 65,536).
std::atomic<bool> armed{false};

bool Refused(std::size_t size) { return armed && size >= 40000 && size < 65536; }

struct Armed {
  Armed() { armed = true; }
  ~Armed() { armed = false; }
};

}  // namespace

void* operator new(std::size_t size) {
  if (Refused(size)) throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
// The nothrow form too: a block ACE takes with it is freed by the delete
// below, and must come from the same heap.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (Refused(size)) return nullptr;
  return std::malloc(size ? size : 1);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

class TermListOutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    sim = std::make_unique<BcSim>(nlohmann::json{{"generate", {{"terminals", 3}}}});
    sim->Call({{"cmd", "term_list_pacing"}, {"chunk", 65536}, {"gap_ms", 0}});
    sim->Call({{"cmd", "term_list_extra"},
               {"lines", {"000 77\t" + std::string(50000, 'x') + "\t1.2.3.4\t0\t1\t0\t0\n"}},
               {"at", 1}});
    capture = std::make_unique<BroadcastLogCapture>(*sim);
  }
  void TearDown() override { capture.reset(); }

  std::unique_ptr<BcSim> sim;
  std::unique_ptr<BroadcastLogCapture> capture;
  std::vector<std::string>& logged() { return capture->lines; }
};

TEST_F(TermListOutOfMemory, TheAgentThrowsItsExceptionAndTheCallersSeeNoTerminals) {
  {
    Armed failing;
    BCAgent agent(capture->server);
    std::vector<TermInfo> list;
    try {
      agent.getTermList(list);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(codepage::GbkToUtf8(e.message()), "内存分配失败");
      EXPECT_EQ(e.source().function, "BCAgent::getTermList");
    }
    EXPECT_EQ(list.size(), 1u);  // the line before it
  }
  {
    Armed failing;
    EXPECT_TRUE(ServerTermListSource(capture->server).TermList().empty());  // the entry dialog
    EXPECT_TRUE(ServerBroadcast(SessionMgr::Instance(), capture->server)
                    .AllTerminalIds()
                    .empty());  // a broadcast to every terminal
  }
  ASSERT_EQ(logged().size(), 1u);
  EXPECT_EQ(logged()[0].rfind("内存分配失败", 0), 0u) << logged()[0];

  // With the memory there, the same reply gives every terminal.
  EXPECT_EQ(ServerBroadcast(SessionMgr::Instance(), capture->server).AllTerminalIds(), (std::vector<int>{1, 77, 2, 3}));
}

}  // namespace
