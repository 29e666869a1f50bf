// Reference counting, QueryInterface and creation by class identifier.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/implements.h"
#include "platform/com/stream_interfaces.h"

namespace {

using namespace com;

std::atomic<int> gDestroyed{0};

// An event sink: the dual interface brings IDispatch along.
class Sink final : public Implements<IDB_FileEofEvent> {
 public:
  ~Sink() override { ++gDestroyed; }
  HRESULT GetTypeInfoCount(uint32_t* count) override { return *count = 0, S_OK; }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, char16_t**, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, const IID&, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override {
    return S_OK;
  }
  HRESULT FileEof() override { return S_OK; }
};

class Player final : public Implements<StreamControlImplBase, FilePlaybackImplBase> {
 public:
  HRESULT Connect(IStreamControl*) override { return S_OK; }
  HRESULT Start() override { return S_OK; }
  HRESULT Stop() override { return S_OK; }
  HRESULT OpenFile(BSTR) override { return S_OK; }
};

class ObjectModel : public ::testing::Test {
 protected:
  void SetUp() override {
    gDestroyed = 0;
    ASSERT_EQ(CoInitialize(), S_OK);
  }
  void TearDown() override {
    UnregisterClass(kClsidFileStream);
    CoUninitialize();
  }
};

TEST_F(ObjectModel, QueryInterfaceFollowsEachInterfaceAndItsBases) {
  ComPtr<Sink> sink = MakeObject<Sink>();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(sink.As(&dispatch), S_OK);
  EXPECT_EQ(static_cast<IDispatch*>(sink.Get()), dispatch.Get());

  ComPtr<Player> player = MakeObject<Player>();
  ComPtr<IStreamControl> control;
  ComPtr<IFilePlayback> playback;
  ASSERT_EQ(player.As(&control), S_OK);
  ASSERT_EQ(player.As(&playback), S_OK);
  // IUnknown is the same pointer whichever interface it is asked through.
  ComPtr<IUnknown> a, b;
  control.As(&a);
  playback.As(&b);
  EXPECT_EQ(a.Get(), b.Get());
  EXPECT_NE(static_cast<void*>(control.Get()), static_cast<void*>(playback.Get()));

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(player->QueryInterface(IDispatch::kIid, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(player->QueryInterface(IUnknown::kIid, nullptr), E_POINTER);
}

TEST_F(ObjectModel, CountsReferencesAcrossThreadsAndDeletesOnce) {
  {
    ComPtr<Sink> sink = MakeObject<Sink>();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([raw = sink.Get()] {
        for (int i = 0; i < 20000; ++i) {
          raw->AddRef();
          raw->Release();
        }
      });
    for (auto& t : threads) t.join();
    EXPECT_EQ(gDestroyed, 0);
    EXPECT_EQ(sink->AddRef(), 2u);
    sink->Release();
  }
  EXPECT_EQ(gDestroyed, 1);

  // The final release may come from another thread than the creator's.
  ComPtr<Sink> moved = MakeObject<Sink>();
  std::thread([p = std::move(moved)]() mutable { p.Reset(); }).join();
  EXPECT_EQ(gDestroyed, 2);
}

TEST_F(ObjectModel, CreateInstanceReportsEachFailure) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IStreamControl::kIid, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  int built = 0;
  RegisterClass(kClsidFileStream, [&built](const IID& iid, void** out) {
    ++built;
    return CreateObjectFor<Player>(iid, out);
  });
  ComPtr<Player> outer = MakeObject<Player>();
  EXPECT_EQ(CoCreateInstance(kClsidFileStream, outer->Identity(), kComponentContext, IStreamControl::kIid, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(kClsidFileStream, nullptr, CLSCTX_LOCAL_SERVER, IStreamControl::kIid, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IDispatch::kIid, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IStreamControl::kIid, nullptr), E_POINTER);
  EXPECT_EQ(built, 1);  // only the E_NOINTERFACE attempt reached the factory

  ComPtr<IFilePlayback> playback;
  ASSERT_EQ(CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IFilePlayback::kIid, playback.PutVoid()),
            S_OK);
  EXPECT_EQ(playback->OpenFile(nullptr), S_OK);

  // A thread that never entered an apartment cannot create components.
  HRESULT elsewhere = S_OK;
  std::thread([&] {
    void* p = nullptr;
    elsewhere = CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IStreamControl::kIid, &p);
  }).join();
  EXPECT_EQ(elsewhere, CO_E_NOTINITIALIZED);

  EXPECT_EQ(UnregisterClass(kClsidFileStream), S_OK);
  EXPECT_EQ(UnregisterClass(kClsidFileStream), REGDB_E_CLASSNOTREG);
}

}  // namespace
