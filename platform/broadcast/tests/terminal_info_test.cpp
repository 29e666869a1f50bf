// The terminal information components against a fake information port:
// which request each call makes and how each reply comes back.
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "platform/broadcast/broadcast_components.h"
#include "platform/broadcast/tests/fake_bcsim.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/terminal_interfaces.h"

namespace {

using namespace com;
using broadcast_components::testing::FakeInfoServer;
using nlohmann::json;

// A small platform: terminals 3 (online, fault 0x85) and 9 (offline),
// area 1 "一区" with both, area 2 answered with S_FALSE.
std::string Platform(const json& request) {
  std::string op = request.value("op", "");
  if (op == "terminal_count") return R"({"hr":0,"count":2})";
  if (op == "terminal_ids") return R"({"hr":0,"ids":[3,9,11]})";                  // one more than asked for
  if (op == "terminal_addresses") return R"({"hr":0,"addresses":[3232235781]})";  // 192.168.1.5, then none
  if (op == "area_count") return R"({"hr":0,"count":2})";
  if (op == "area_ids") return R"({"hr":0,"ids":[1,2]})";
  if (op == "area_name") return request["id"] == 1 ? R"({"hr":0,"name":"一区"})" : R"({"hr":1})";
  if (op == "area_terminals") return R"({"hr":0,"ids":[3,9]})";
  if (op == "terminal" && request["id"] == 3) return R"({"hr":0,"name":"东门","tag":"T-3","state":0,"fault":133})";
  if (op == "terminal" && request["id"] == 9) return R"({"hr":0,"name":"北门","tag":"T-9","state":-1,"fault":0})";
  if (op == "terminal") return R"({"hr":-2147220468})";
  return "not json";
}

class TerminalInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(), S_OK);
    broadcast_components::RegisterBroadcastComponents();
    server_ = std::make_unique<FakeInfoServer>(Platform);
    setenv("QUILLON_INFO_PORT", std::to_string(server_->Port()).c_str(), 1);
    unsetenv("QUILLON_INFO_HOST");
  }
  void TearDown() override {
    broadcast_components::UnregisterBroadcastComponents();
    CoUninitialize();
  }

  template <class I>
  HRESULT Create(const CLSID& clsid, ComPtr<I>* out) {
    return CoCreateInstance(clsid, nullptr, kComponentContext, I::kIid, out->PutVoid());
  }

  std::unique_ptr<FakeInfoServer> server_;
};

TEST_F(TerminalInfo, DirectoryListsTerminalsAddressesAndAreas) {
  ComPtr<ITerminalDirectory> directory;
  ASSERT_EQ(Create(kClsidTerminalDirectory, &directory), S_OK);
  int32_t count = 0;
  ASSERT_EQ(directory->GetTerminalCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  int32_t ids[2] = {}, got = 0;
  ASSERT_EQ(directory->GetTerminalIds(0, 2, ids, &got), S_OK);
  EXPECT_EQ(got, 2);  // never past the caller's array
  EXPECT_EQ(ids[1], 9);
  int32_t addresses[2] = {3, 9};
  ASSERT_EQ(directory->GetTerminalAddresses(2, addresses), S_OK);
  EXPECT_EQ(static_cast<uint32_t>(addresses[0]), 0xC0A80105u);
  EXPECT_EQ(addresses[1], 0);

  ASSERT_EQ(directory->GetAreaCount(&count), S_OK);
  int32_t areas[2] = {};
  ASSERT_EQ(directory->GetAreaIds(0, count, areas, &got), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(directory->GetAreaName(areas[0], &name), S_OK);
  EXPECT_EQ(BstrToUtf8(name), "一区");
  SysFreeString(name);
  EXPECT_EQ(directory->GetAreaName(areas[1], &name), S_FALSE);
  EXPECT_EQ(name, nullptr);
  int32_t page[100];
  ASSERT_EQ(directory->GetAreaTerminals(1, 100, 100, page, &got), S_OK);
  EXPECT_EQ(got, 2);

  std::vector<json> requests = server_->Requests();
  ASSERT_EQ(requests.size(), 8u);
  EXPECT_EQ(requests[1], json::parse(R"({"op":"terminal_ids","first":0,"max":2})"));
  EXPECT_EQ(requests[2], json::parse(R"({"op":"terminal_addresses","ids":[3,9]})"));
  EXPECT_EQ(requests[5], json::parse(R"({"op":"area_name","id":1})"));
  EXPECT_EQ(requests[7], json::parse(R"({"op":"area_terminals","id":1,"first":100,"max":100})"));
}

TEST_F(TerminalInfo, ItemAnswersForTheSelectedTerminalWithOneRequest) {
  ComPtr<ITerminalItem> item;
  ASSERT_EQ(Create(kClsidTerminalItem, &item), S_OK);
  int32_t value = 0;
  EXPECT_EQ(item->GetState(&value), E_UNEXPECTED);  // nothing selected yet
  item->SetId(3);
  BSTR name = nullptr, tag = nullptr;
  ASSERT_EQ(item->GetName(&name), S_OK);
  ASSERT_EQ(item->GetTag(&tag), S_OK);
  EXPECT_EQ(BstrToUtf8(name), "东门");
  EXPECT_EQ(BstrToUtf8(tag), "T-3");
  SysFreeString(name);
  SysFreeString(tag);
  ASSERT_EQ(item->GetState(&value), S_OK);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(item->GetFaultCode(&value), S_OK);
  EXPECT_EQ(value, 0x85);
  EXPECT_EQ(server_->Requests().size(), 1u);

  item->SetId(9);
  ASSERT_EQ(item->GetState(&value), S_OK);
  EXPECT_LT(value, 0);
  EXPECT_EQ(server_->Requests().back(), json::parse(R"({"op":"terminal","id":9})"));

  item->SetId(4);
  EXPECT_EQ(item->GetName(&name), E_TERMINAL_GONE);
  EXPECT_EQ(name, nullptr);
  EXPECT_EQ(HresultCode(item->GetFaultCode(&value)), kTerminalGoneCode);
}

TEST_F(TerminalInfo, ServerTroubleIsAFailureButNeverGone) {
  // A reply that is no JSON.
  ComPtr<ITerminalDirectory> directory;
  ASSERT_EQ(Create(kClsidTerminalDirectory, &directory), S_OK);
  int32_t count = 0;
  EXPECT_EQ(directory->GetAreaName(99, nullptr), E_POINTER);
  server_ = std::make_unique<FakeInfoServer>([](const json&) { return std::string("{\"count\":1}"); });
  setenv("QUILLON_INFO_PORT", std::to_string(server_->Port()).c_str(), 1);
  ASSERT_EQ(Create(kClsidTerminalDirectory, &directory), S_OK);
  EXPECT_EQ(directory->GetTerminalCount(&count), E_FAIL);

  // A server that drops the connection is asked again on a new one.
  server_->DropClients();
  EXPECT_EQ(directory->GetTerminalCount(&count), E_FAIL);
  EXPECT_EQ(server_->Requests().size(), 2u);

  // A server that is gone: creation fails, and so do calls on live objects.
  ComPtr<ITerminalItem> item;
  ASSERT_EQ(Create(kClsidTerminalItem, &item), S_OK);
  item->SetId(3);
  server_.reset();
  EXPECT_EQ(directory->GetTerminalCount(&count), RPC_S_SERVER_UNAVAILABLE_HR);
  EXPECT_EQ(item->GetState(&count), RPC_S_SERVER_UNAVAILABLE_HR);
  EXPECT_NE(HresultCode(RPC_S_SERVER_UNAVAILABLE_HR), kTerminalGoneCode);
  EXPECT_EQ(Create(kClsidTerminalDirectory, &directory), RPC_S_SERVER_UNAVAILABLE_HR);
  EXPECT_EQ(Create(kClsidTerminalItem, &item), RPC_S_SERVER_UNAVAILABLE_HR);
  setenv("QUILLON_INFO_PORT", "not a port", 1);
  EXPECT_EQ(Create(kClsidTerminalItem, &item), RPC_S_SERVER_UNAVAILABLE_HR);
}

}  // namespace
