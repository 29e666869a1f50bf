// The broadcast platform's terminal information server, declared in the
// slot order the monitor calls it by. Both classes are created with
// CoCreateInstance(clsid, nullptr, kComponentContext, iid, ...)
// (class_registry.h); every method returns an HRESULT, negative on failure.
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/unknown.h"

namespace com {

inline constexpr CLSID kClsidTerminalDirectory = GuidLiteral("{6AC4E4DA-C5C4-4BDC-96B5-B1AF067368D8}");
inline constexpr CLSID kClsidTerminalItem = GuidLiteral("{3BEF66C1-79F8-40D9-817D-1E3926A39946}");

// The terminal asked for no longer exists. Callers recognise it by its low
// word alone (HresultCode(hr) == kTerminalGoneCode).
inline constexpr HRESULT E_TERMINAL_GONE = MakeHresult(0x8004040C);
inline constexpr uint32_t kTerminalGoneCode = 0x040C;

// The terminal information server's directory: terminals, their addresses
// and the areas they are grouped in.
class ITerminalDirectory : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{593B6BEB-6210-4BD2-B6FF-0DD07BE47604}");
  using Base = IUnknown;

  virtual HRESULT Reserved3() = 0;  // slot 3, not used by the programs
  virtual HRESULT Reserved4() = 0;  // slot 4, not used by the programs
  virtual HRESULT Reserved5() = 0;  // slot 5, not used by the programs
  virtual HRESULT Reserved6() = 0;  // slot 6, not used by the programs
  virtual HRESULT Reserved7() = 0;  // slot 7, not used by the programs
  virtual HRESULT Reserved8() = 0;  // slot 8, not used by the programs
  virtual HRESULT Reserved9() = 0;  // slot 9, not used by the programs
  // Number of terminals of the platform.
  virtual HRESULT GetTerminalCount(int32_t* count) = 0;  // slot 10
  // Up to `max` terminal ids from index `first`, ascending, written from
  // ids[0]; *got says how many.
  virtual HRESULT GetTerminalIds(int32_t first, int32_t max, int32_t* ids, int32_t* got) = 0;  // slot 11
  virtual HRESULT Reserved12() = 0;  // slot 12, not used by the programs
  virtual HRESULT Reserved13() = 0;  // slot 13, not used by the programs
  virtual HRESULT Reserved14() = 0;  // slot 14, not used by the programs
  virtual HRESULT Reserved15() = 0;  // slot 15, not used by the programs
  virtual HRESULT Reserved16() = 0;  // slot 16, not used by the programs
  virtual HRESULT Reserved17() = 0;  // slot 17, not used by the programs
  virtual HRESULT Reserved18() = 0;  // slot 18, not used by the programs
  virtual HRESULT Reserved19() = 0;  // slot 19, not used by the programs
  virtual HRESULT Reserved20() = 0;  // slot 20, not used by the programs
  virtual HRESULT Reserved21() = 0;  // slot 21, not used by the programs
  virtual HRESULT Reserved22() = 0;  // slot 22, not used by the programs
  virtual HRESULT Reserved23() = 0;  // slot 23, not used by the programs
  virtual HRESULT Reserved24() = 0;  // slot 24, not used by the programs
  // Number of areas.
  virtual HRESULT GetAreaCount(int32_t* count) = 0;  // slot 25
  // Up to `max` area ids from index `first`.
  virtual HRESULT GetAreaIds(int32_t first, int32_t max, int32_t* ids, int32_t* got) = 0;  // slot 26
  // S_OK with the name; S_FALSE (name null) for an area the server does
  // not name. The caller frees the name.
  virtual HRESULT GetAreaName(int32_t area, BSTR* name) = 0;  // slot 27
  // One page of the area's members: up to `max` ids from index `first`.
  virtual HRESULT GetAreaTerminals(int32_t area, int32_t first, int32_t max, int32_t* ids,
                                   int32_t* got) = 0;  // slot 28
  virtual HRESULT Reserved29() = 0;                    // slot 29, not used by the programs
  // Takes `count` terminal ids and replaces each, in place, with that
  // terminal's IPv4 address, first octet most significant (0: unknown).
  virtual HRESULT GetTerminalAddresses(int32_t count, int32_t* idsInAddressesOut) = 0;  // slot 30

 protected:
  ~ITerminalDirectory() = default;
};

// ITerminalDirectory with every unused slot answering E_NOTIMPL, for implementations
// and test doubles that only fill the slots the programs call.
class TerminalDirectoryImplBase : public ITerminalDirectory {
 public:
  HRESULT Reserved3() override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT Reserved5() override { return E_NOTIMPL; }
  HRESULT Reserved6() override { return E_NOTIMPL; }
  HRESULT Reserved7() override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT Reserved13() override { return E_NOTIMPL; }
  HRESULT Reserved14() override { return E_NOTIMPL; }
  HRESULT Reserved15() override { return E_NOTIMPL; }
  HRESULT Reserved16() override { return E_NOTIMPL; }
  HRESULT Reserved17() override { return E_NOTIMPL; }
  HRESULT Reserved18() override { return E_NOTIMPL; }
  HRESULT Reserved19() override { return E_NOTIMPL; }
  HRESULT Reserved20() override { return E_NOTIMPL; }
  HRESULT Reserved21() override { return E_NOTIMPL; }
  HRESULT Reserved22() override { return E_NOTIMPL; }
  HRESULT Reserved23() override { return E_NOTIMPL; }
  HRESULT Reserved24() override { return E_NOTIMPL; }
  HRESULT Reserved29() override { return E_NOTIMPL; }

 protected:
  ~TerminalDirectoryImplBase() = default;
};

// One terminal of the terminal information server. The getters fail with
// E_TERMINAL_GONE when the selected terminal no longer exists; strings
// are for the caller to free.
class ITerminalItem : public IUnknown {
 public:
  static constexpr IID kIid = GuidLiteral("{A084D841-191B-415E-9B06-1BDBAA6C7688}");
  using Base = IUnknown;

  virtual HRESULT Reserved3() = 0;  // slot 3, not used by the programs
  virtual HRESULT Reserved4() = 0;  // slot 4, not used by the programs
  virtual HRESULT Reserved5() = 0;  // slot 5, not used by the programs
  virtual HRESULT Reserved6() = 0;  // slot 6, not used by the programs
  virtual HRESULT Reserved7() = 0;  // slot 7, not used by the programs
  // The terminal's identifier text.
  virtual HRESULT GetTag(BSTR* tag) = 0;  // slot 8
  virtual HRESULT Reserved9() = 0;        // slot 9, not used by the programs
  // The terminal's name.
  virtual HRESULT GetName(BSTR* name) = 0;  // slot 10
  virtual HRESULT Reserved11() = 0;         // slot 11, not used by the programs
  virtual HRESULT Reserved12() = 0;         // slot 12, not used by the programs
  virtual HRESULT Reserved13() = 0;         // slot 13, not used by the programs
  virtual HRESULT Reserved14() = 0;         // slot 14, not used by the programs
  virtual HRESULT Reserved15() = 0;         // slot 15, not used by the programs
  virtual HRESULT Reserved16() = 0;         // slot 16, not used by the programs
  virtual HRESULT Reserved17() = 0;         // slot 17, not used by the programs
  virtual HRESULT Reserved18() = 0;         // slot 18, not used by the programs
  virtual HRESULT Reserved19() = 0;         // slot 19, not used by the programs
  virtual HRESULT Reserved20() = 0;         // slot 20, not used by the programs
  virtual HRESULT Reserved21() = 0;         // slot 21, not used by the programs
  // Zero or positive: online; negative: offline.
  virtual HRESULT GetState(int32_t* state) = 0;  // slot 22
  virtual HRESULT Reserved23() = 0;              // slot 23, not used by the programs
  virtual HRESULT Reserved24() = 0;              // slot 24, not used by the programs
  virtual HRESULT Reserved25() = 0;              // slot 25, not used by the programs
  virtual HRESULT Reserved26() = 0;              // slot 26, not used by the programs
  virtual HRESULT Reserved27() = 0;              // slot 27, not used by the programs
  virtual HRESULT Reserved28() = 0;              // slot 28, not used by the programs
  virtual HRESULT Reserved29() = 0;              // slot 29, not used by the programs
  virtual HRESULT Reserved30() = 0;              // slot 30, not used by the programs
  virtual HRESULT Reserved31() = 0;              // slot 31, not used by the programs
  virtual HRESULT Reserved32() = 0;              // slot 32, not used by the programs
  virtual HRESULT Reserved33() = 0;              // slot 33, not used by the programs
  // Selects the terminal the getters answer for.
  virtual HRESULT SetId(int32_t terminal) = 0;  // slot 34
  virtual HRESULT Reserved35() = 0;             // slot 35, not used by the programs
  virtual HRESULT Reserved36() = 0;             // slot 36, not used by the programs
  virtual HRESULT Reserved37() = 0;             // slot 37, not used by the programs
  virtual HRESULT Reserved38() = 0;             // slot 38, not used by the programs
  virtual HRESULT Reserved39() = 0;             // slot 39, not used by the programs
  virtual HRESULT Reserved40() = 0;             // slot 40, not used by the programs
  virtual HRESULT Reserved41() = 0;             // slot 41, not used by the programs
  // The raw fault code; the low seven bits are the fault.
  virtual HRESULT GetFaultCode(int32_t* fault) = 0;  // slot 42

 protected:
  ~ITerminalItem() = default;
};

// ITerminalItem with every unused slot answering E_NOTIMPL, for implementations
// and test doubles that only fill the slots the programs call.
class TerminalItemImplBase : public ITerminalItem {
 public:
  HRESULT Reserved3() override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT Reserved5() override { return E_NOTIMPL; }
  HRESULT Reserved6() override { return E_NOTIMPL; }
  HRESULT Reserved7() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }
  HRESULT Reserved11() override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT Reserved13() override { return E_NOTIMPL; }
  HRESULT Reserved14() override { return E_NOTIMPL; }
  HRESULT Reserved15() override { return E_NOTIMPL; }
  HRESULT Reserved16() override { return E_NOTIMPL; }
  HRESULT Reserved17() override { return E_NOTIMPL; }
  HRESULT Reserved18() override { return E_NOTIMPL; }
  HRESULT Reserved19() override { return E_NOTIMPL; }
  HRESULT Reserved20() override { return E_NOTIMPL; }
  HRESULT Reserved21() override { return E_NOTIMPL; }
  HRESULT Reserved23() override { return E_NOTIMPL; }
  HRESULT Reserved24() override { return E_NOTIMPL; }
  HRESULT Reserved25() override { return E_NOTIMPL; }
  HRESULT Reserved26() override { return E_NOTIMPL; }
  HRESULT Reserved27() override { return E_NOTIMPL; }
  HRESULT Reserved28() override { return E_NOTIMPL; }
  HRESULT Reserved29() override { return E_NOTIMPL; }
  HRESULT Reserved30() override { return E_NOTIMPL; }
  HRESULT Reserved31() override { return E_NOTIMPL; }
  HRESULT Reserved32() override { return E_NOTIMPL; }
  HRESULT Reserved33() override { return E_NOTIMPL; }
  HRESULT Reserved35() override { return E_NOTIMPL; }
  HRESULT Reserved36() override { return E_NOTIMPL; }
  HRESULT Reserved37() override { return E_NOTIMPL; }
  HRESULT Reserved38() override { return E_NOTIMPL; }
  HRESULT Reserved39() override { return E_NOTIMPL; }
  HRESULT Reserved40() override { return E_NOTIMPL; }
  HRESULT Reserved41() override { return E_NOTIMPL; }

 protected:
  ~TerminalItemImplBase() = default;
};

}  // namespace com
