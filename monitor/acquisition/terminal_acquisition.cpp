#include "monitor/acquisition/terminal_acquisition.h"

#include <algorithm>
#include <utility>

#include "platform/codepage/codepage.h"
#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/terminal_interfaces.h"

namespace {

using com::ComPtr;
using com::HRESULT;

constexpr int32_t kMemberPageSize = 100;

HRESULT CreateDirectory(ComPtr<com::ITerminalDirectory>* directory) {
  return com::CoCreateInstance(com::kClsidTerminalDirectory, nullptr, com::kComponentContext,
                               com::ITerminalDirectory::kIid, directory->PutVoid());
}

HRESULT CreateItem(ComPtr<com::ITerminalItem>* item) {
  return com::CoCreateInstance(com::kClsidTerminalItem, nullptr, com::kComponentContext, com::ITerminalItem::kIid,
                               item->PutVoid());
}

// Only the low word marks a vanished terminal; the facility bits around it
// are not relied on.
bool IsTerminalGone(HRESULT hr) { return com::FAILED(hr) && com::HresultCode(hr) == com::kTerminalGoneCode; }

// A count the server wrote into an out-parameter, kept inside the buffer
// the caller handed over whatever the server claims.
int32_t Clamp(int32_t got, int32_t capacity) { return std::clamp(got, int32_t{0}, capacity); }

// Stores the string as GBK in *out, converting through a reused buffer:
// assigning into a string that already has the storage does not allocate.
void AssignGbk(com::BSTR text, std::string* buffer, std::string* out) {
  std::u16string_view utf16 = com::BstrView(text);
  // One UTF-16 unit never needs more than two GBK bytes.
  if (buffer->size() < utf16.size() * 2) buffer->resize(utf16.size() * 2);
  size_t length = codepage::Utf16ToGbk(utf16, buffer->data(), buffer->size());
  out->assign(buffer->data(), length);
}

}  // namespace

TerminalAcquisition::TerminalAcquisition(MonitorSettings& settings, const Clock& clock)
    : settings_(settings), clock_(clock), memberPage_(kMemberPageSize) {}

bool TerminalAcquisition::Finish(bool succeeded) {
  systemOk_ = succeeded;
  return succeeded;
}

bool TerminalAcquisition::loadTerminalIds() { return Finish(LoadTerminalIds()); }
bool TerminalAcquisition::refreshTerminalStates() { return Finish(RefreshTerminalStates()); }
bool TerminalAcquisition::syncAreas() { return Finish(SyncAreas()); }
bool TerminalAcquisition::loadAreaMembers() { return Finish(LoadAreaMembers()); }

bool TerminalAcquisition::LoadTerminalIds() {
  listedIds_.clear();
  listedAddresses_.clear();
  ComPtr<com::ITerminalDirectory> directory;
  if (com::FAILED(CreateDirectory(&directory))) return false;
  int32_t count = 0;
  if (com::FAILED(directory->GetTerminalCount(&count))) return false;
  if (count < 1) return true;

  // The id buffer becomes the id list itself; it is emptied again on every
  // failure so that step 2 never sees a half-read list.
  listedIds_.resize(static_cast<size_t>(count));
  int32_t got = 0;
  if (com::FAILED(directory->GetTerminalIds(0, count, listedIds_.data(), &got))) {
    listedIds_.clear();
    return false;
  }
  listedIds_.resize(static_cast<size_t>(Clamp(got, count)));
  // The server overwrites the ids it is given with the addresses.
  listedAddresses_ = listedIds_;
  if (com::FAILED(
          directory->GetTerminalAddresses(static_cast<int32_t>(listedAddresses_.size()), listedAddresses_.data()))) {
    listedIds_.clear();
    listedAddresses_.clear();
    return false;
  }
  return true;
}

void TerminalAcquisition::MergeListedTerminals() {
  char ip[16];
  for (size_t i = 0; i < listedIds_.size(); ++i) {
    int32_t id = listedIds_[i];
    size_t ipLength = FormatIpv4(static_cast<uint32_t>(listedAddresses_[i]), ip);
    auto [record, inserted] = terminalTable_.try_emplace(id);
    if (inserted) {
      record->second.id = id;
      record->second.lastChange = ToLocalTimestamp(clock_.WallNow());
    }
    record->second.ip.assign(ip, ipLength);
  }
  listedIds_.clear();
  listedAddresses_.clear();
}

// Name, tag, state and fault, each read only while the ones before it
// succeeded; the first failure's result is returned.
HRESULT TerminalAcquisition::ReadTerminal(com::ITerminalItem& item, TerminalRecord& record) {
  HRESULT hr;
  {
    com::BSTR text = nullptr;
    hr = item.GetName(&text);
    com::UniqueBstr name(text);
    if (com::SUCCEEDED(hr)) AssignGbk(name.get(), &gbkText_, &record.name);
  }
  if (com::SUCCEEDED(hr)) {
    com::BSTR text = nullptr;
    hr = item.GetTag(&text);
    com::UniqueBstr tag(text);
    if (com::SUCCEEDED(hr)) AssignGbk(tag.get(), &gbkText_, &record.tag);
  }
  if (com::SUCCEEDED(hr)) {
    int32_t state = 0;
    hr = item.GetState(&state);
    if (com::SUCCEEDED(hr)) {
      bool online = state >= 0;
      if (online != record.online) {
        record.online = online;
        record.lastChange = ToLocalTimestamp(clock_.WallNow());
      }
      // Counted before the fault query, so a terminal that disappears
      // during it still counts, as it was offline when last seen.
      if (!record.online) ++offlineCount_;
    }
  }
  if (com::SUCCEEDED(hr)) {
    int32_t fault = 0;
    hr = item.GetFaultCode(&fault);
    if (com::SUCCEEDED(hr)) {
      int32_t code = fault & 0x7F;
      if (code != record.faultCode) {
        record.faultCode = code;
        record.lastChange = ToLocalTimestamp(clock_.WallNow());
      }
    }
  }
  return hr;
}

bool TerminalAcquisition::RefreshTerminalStates() {
  // Held for the whole step: the step's hold on the server, as the item
  // queries run.
  ComPtr<com::ITerminalDirectory> directory;
  if (com::FAILED(CreateDirectory(&directory))) return false;
  presentIds_.clear();
  offlineCount_ = 0;
  MergeListedTerminals();

  ComPtr<com::ITerminalItem> item;
  for (auto entry = terminalTable_.begin(); entry != terminalTable_.end();) {
    TerminalRecord& record = entry->second;
    if (com::FAILED(CreateItem(&item))) return false;
    item->SetId(record.id);  // a bad id shows in the getters

    HRESULT hr = ReadTerminal(*item.Get(), record);
    item.Reset();

    if (IsTerminalGone(hr)) {
      entry = terminalTable_.erase(entry);
      continue;
    }
    if (com::FAILED(hr)) return false;
    presentIds_.push_back(record.id);
    ++entry;
  }
  return true;
}

bool TerminalAcquisition::SyncAreas() {
  serverAreas_.clear();
  ComPtr<com::ITerminalDirectory> directory;
  if (com::FAILED(CreateDirectory(&directory))) return false;
  int32_t count = 0;
  if (com::FAILED(directory->GetAreaCount(&count))) return false;
  // No areas at all is taken as the server not knowing them yet, never as
  // a reason to drop every configured area with its contacts.
  if (count <= 0) return true;

  areaIds_.resize(static_cast<size_t>(count));
  int32_t got = 0;
  if (com::FAILED(directory->GetAreaIds(0, count, areaIds_.data(), &got))) return false;
  got = Clamp(got, count);

  for (int32_t i = 0; i < got; ++i) {
    int32_t id = areaIds_[static_cast<size_t>(i)];
    com::BSTR text = nullptr;
    HRESULT hr = directory->GetAreaName(id, &text);
    com::UniqueBstr name(text);
    if (com::FAILED(hr)) return false;
    // Other success codes: an area the server does not name for us.
    if (hr != com::S_OK) continue;
    ServerArea& area = serverAreas_.emplace_back();
    area.id = id;
    AssignGbk(name.get(), &gbkText_, &area.name);
  }

  auto findServerArea = [this](int32_t id) {
    return std::find_if(serverAreas_.begin(), serverAreas_.end(), [id](const ServerArea& a) { return a.id == id; });
  };
  for (auto entry = settings_.areas.lower_bound(0); entry != settings_.areas.end();) {
    auto area = findServerArea(entry->first);
    if (area == serverAreas_.end()) {
      entry = settings_.areas.erase(entry);
    } else {
      entry->second.name = area->name;
      ++entry;
    }
  }
  for (const ServerArea& area : serverAreas_) {
    // A negative id is no area of the platform: -1 is the installation as
    // a whole, and the settings file cannot keep other negative ids.
    if (area.id < 0 || settings_.areas.contains(area.id)) continue;
    AreaEntry entry;
    entry.name = area.name;
    entry.lastOfflineCount = NEW_AREA_BASELINE;
    settings_.areas.emplace(area.id, std::move(entry));
  }
  return true;
}

bool TerminalAcquisition::LoadAreaMembers() {
  ComPtr<com::ITerminalDirectory> directory;
  if (com::FAILED(CreateDirectory(&directory))) return false;

  for (auto entry = settings_.areas.lower_bound(0); entry != settings_.areas.end(); ++entry) {
    int32_t area = entry->first;
    members_.clear();
    int32_t first = 0;
    int32_t got = 0;
    do {
      got = 0;
      if (com::FAILED(directory->GetAreaTerminals(area, first, kMemberPageSize, memberPage_.data(), &got)))
        return false;
      got = Clamp(got, kMemberPageSize);
      for (int32_t i = 0; i < got; ++i) {
        int32_t id = memberPage_[static_cast<size_t>(i)];
        if (terminalTable_.contains(id)) members_.push_back(id);
      }
      first += got;
    } while (got == kMemberPageSize);
    // The swap hands the old list's storage back for the next area.
    areaMembers_[area].swap(members_);
  }

  std::erase_if(areaMembers_, [this](const auto& members) { return !settings_.areas.contains(members.first); });
  return true;
}
