#include "platform/com/connection_point.h"

#include <gtest/gtest.h>

#include "platform/com/implements.h"
#include "platform/com/stream_interfaces.h"

namespace {

using namespace com;

bool gContainerAlive = false;

class Source final : public Implements<IConnectionPointContainer> {
 public:
  Source() { gContainerAlive = true; }
  ~Source() override { gContainerAlive = false; }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (iid != point_.EventIid()) return CONNECT_E_NOCONNECTION;
    point_.AddRef();
    *point = &point_;
    return S_OK;
  }
  void Fire() {
    for (auto& sink : point_.Sinks<IDB_FileEofEvent>()) sink->FileEof();
  }

 private:
  ConnectionPoint point_{this, IDB_FileEofEvent::kIid, 2};
};

class Sink final : public Implements<IDB_FileEofEvent> {
 public:
  int events = 0;
  HRESULT GetTypeInfoCount(uint32_t* count) override { return *count = 0, S_OK; }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, char16_t**, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, const IID&, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT FileEof() override { return ++events, S_OK; }
};

class NotASink final : public Implements<IDispatch> {
 public:
  HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, char16_t**, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, const IID&, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override {
    return E_NOTIMPL;
  }
};

TEST(ConnectionPoint, AdviseDeliversUntilUnadvise) {
  ComPtr<Source> source = MakeObject<Source>();
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(source->FindConnectionPoint(IDispatch::kIid, point.Put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(source->FindConnectionPoint(IDB_FileEofEvent::kIid, point.Put()), S_OK);
  IID iid;
  point->GetConnectionInterface(&iid);
  EXPECT_EQ(iid, IDB_FileEofEvent::kIid);

  ComPtr<Sink> first = MakeObject<Sink>(), second = MakeObject<Sink>();
  uint32_t c1 = 0, c2 = 0;
  ASSERT_EQ(point->Advise(first.Get(), &c1), S_OK);
  ASSERT_EQ(point->Advise(second.Get(), &c2), S_OK);
  EXPECT_NE(c1, 0u);
  EXPECT_NE(c1, c2);
  EXPECT_EQ(first->AddRef(), 3u);  // ours, the point's, this one
  first->Release();

  source->Fire();
  EXPECT_EQ(point->Unadvise(c1), S_OK);
  EXPECT_EQ(first->AddRef(), 2u);  // the point let go
  first->Release();
  source->Fire();
  EXPECT_EQ(first->events, 1);
  EXPECT_EQ(second->events, 2);

  EXPECT_EQ(point->Unadvise(c1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
}

TEST(ConnectionPoint, RefusesWrongSinksAndOverflow) {
  ComPtr<Source> source = MakeObject<Source>();
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(source->FindConnectionPoint(IDB_FileEofEvent::kIid, point.Put()), S_OK);
  uint32_t cookie = 7;
  ComPtr<NotASink> wrong = MakeObject<NotASink>();
  EXPECT_EQ(point->Advise(wrong.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);

  ComPtr<Sink> sink = MakeObject<Sink>();
  ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
  ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
  EXPECT_EQ(point->Advise(sink.Get(), &cookie), CONNECT_E_ADVISELIMIT);
}

TEST(ConnectionPoint, HoldingThePointKeepsTheContainerAlive) {
  ComPtr<IConnectionPoint> point;
  ComPtr<Sink> sink = MakeObject<Sink>();
  {
    ComPtr<Source> source = MakeObject<Source>();
    ASSERT_EQ(source->FindConnectionPoint(IDB_FileEofEvent::kIid, point.Put()), S_OK);
    uint32_t cookie;
    point->Advise(sink.Get(), &cookie);
  }
  EXPECT_TRUE(gContainerAlive);
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(point->GetConnectionPointContainer(container.Put()), S_OK);
  container.Reset();
  point.Reset();
  EXPECT_FALSE(gContainerAlive);
  EXPECT_EQ(sink->AddRef(), 2u);  // the sink was released with the container
  sink->Release();
}

}  // namespace
