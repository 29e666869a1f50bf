// A sink whose IDispatch is driven by registered type information, as event
// sinks of the programs are built.
#include <gtest/gtest.h>

#include "platform/com/stream_interfaces.h"
#include "platform/com/type_info_dispatch.h"
#include "platform/com/type_library.h"

namespace {

using namespace com;

const Guid kTestLib = GuidLiteral("{D7A1E0C2-0000-4000-8000-00000000A001}");

class Sink final : public TypeInfoDispatch<IDB_FileEofEvent> {
 public:
  using TypeInfoDispatch::TypeInfoDispatch;
  int events = 0;

  HRESULT FileEof() override { return ++events, S_OK; }
};

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTypeLib(
        kTestLib, 1, 2,
        {{IDB_FileEofEvent::kIid,
          {{kFileEofName, kDispidFileEof, DISPATCH_METHOD, 0, [](void* instance, const DISPPARAMS&, VARIANT*) {
              return static_cast<IDB_FileEofEvent*>(instance)->FileEof();
            }}}}});
  }
  void TearDown() override { UnregisterTypeLib(kTestLib, 1, 2); }

  ComPtr<Sink> MakeSink() {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(kTestLib, 1, 0, 0, lib.Put()), S_OK);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(IDB_FileEofEvent::kIid, info.Put()), S_OK);
    return MakeObject<Sink>(info);
  }
};

TEST_F(Dispatch, LoadsOnlyACompatibleVersion) {
  ComPtr<ITypeLib> lib;
  EXPECT_EQ(LoadRegTypeLib(kTestLib, 1, 2, 0, lib.Put()), S_OK);
  EXPECT_EQ(LoadRegTypeLib(kTestLib, 1, 3, 0, lib.Put()), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(LoadRegTypeLib(kTestLib, 2, 0, 0, lib.Put()), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(LoadRegTypeLib(kNullGuid, 1, 0, 0, lib.Put()), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(LoadRegTypeLib(kTestLib, 1, 0, 0, lib.Put()), S_OK);
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(lib->GetTypeInfoOfGuid(IDispatch::kIid, info.Put()), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(Dispatch, InvokeReachesTheMethodThroughTypeInformation) {
  ComPtr<Sink> sink = MakeSink();
  IDispatch* dispatch = sink.Get();

  char16_t name[] = u"fileeof";
  char16_t* names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(kNullGuid, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, kDispidFileEof);

  DISPPARAMS none;
  EXPECT_EQ(dispatch->Invoke(kDispidFileEof, kNullGuid, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(sink->events, 1);

  VARIANT argument;
  argument.vt = VT_I4;
  DISPPARAMS one{&argument, nullptr, 1, 0};
  EXPECT_EQ(dispatch->Invoke(kDispidFileEof, kNullGuid, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(dispatch->Invoke(99, kNullGuid, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(dispatch->Invoke(kDispidFileEof, kNullGuid, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(sink->events, 1);

  char16_t unknown[] = u"Other";
  names[0] = unknown;
  EXPECT_EQ(dispatch->GetIDsOfNames(kNullGuid, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(Dispatch, TypeInformationOutlivesUnregistration) {
  ComPtr<Sink> sink = MakeSink();
  UnregisterTypeLib(kTestLib, 1, 2);
  DISPPARAMS none;
  EXPECT_EQ(sink->Invoke(kDispidFileEof, kNullGuid, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(sink->events, 1);
}

TEST(Variant, ClearFreesWhatItOwns) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"text");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
}

}  // namespace
