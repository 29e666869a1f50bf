#include "monitor/dialogs/phone_num_mgr_logic.h"

#include "monitor/dialogs/dialog_texts.h"

PhoneNumMgrLogic::PhoneNumMgrLogic(const MonitorSettings& settings, ServerAreaSource& areas, ContactEditor& editor,
                                   ui::MessageBoxPort& messages)
    : editor_(editor), messages_(messages) {
  auto serverAreas = areas.ReadAreas();
  editable_ = serverAreas.has_value();
  if (!editable_) {
    for (const auto& [id, area] : settings.areas)
      rows_.push_back({id, area.name, area.contacts, area.quiet ? FormatQuietHours(*area.quiet) : ""});
    return;
  }
  auto total = settings.areas.find(TOTAL_AREA_ID);
  if (total != settings.areas.end()) {
    rows_.push_back({TOTAL_AREA_ID, total->second.name, total->second.contacts});
  } else {
    rows_.push_back({TOTAL_AREA_ID, DefaultTotalAreaName(), {}});
  }
  for (const ServerArea& area : *serverAreas) {
    // A negative id is no area of the platform: -1 is the installation,
    // already the first row, and the settings file keeps no other.
    if (area.id < 0) continue;
    auto known = settings.areas.find(area.id);
    if (known == settings.areas.end()) {
      rows_.push_back({area.id, area.name, {}, ""});
    } else {
      const AreaEntry& entry = known->second;
      rows_.push_back({area.id, area.name, entry.contacts, entry.quiet ? FormatQuietHours(*entry.quiet) : ""});
    }
  }
}

const std::vector<Contact>& PhoneNumMgrLogic::contactRows() const {
  static const std::vector<Contact> none;
  return selectedArea_ >= 0 ? rows_[static_cast<size_t>(selectedArea_)].contacts : none;
}

std::vector<Contact>* PhoneNumMgrLogic::SelectedContacts() {
  return selectedArea_ >= 0 ? &rows_[static_cast<size_t>(selectedArea_)].contacts : nullptr;
}

const std::string& PhoneNumMgrLogic::quietText() const {
  static const std::string none;
  return selectedArea_ >= 0 ? rows_[static_cast<size_t>(selectedArea_)].quiet : none;
}

void PhoneNumMgrLogic::SetQuietText(std::string text) {
  if (canEditQuiet()) rows_[static_cast<size_t>(selectedArea_)].quiet = std::move(text);
}

void PhoneNumMgrLogic::SelectArea(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) row = -1;
  if (row == selectedArea_) return;
  selectedArea_ = row;
  selectedContact_ = -1;
}

void PhoneNumMgrLogic::SelectContact(int row) {
  selectedContact_ = row >= 0 && row < static_cast<int>(contactRows().size()) ? row : -1;
}

bool PhoneNumMgrLogic::Add() {
  if (!canAdd()) return false;
  auto contact = editor_.AskNew();
  if (!contact) return false;
  SelectedContacts()->push_back(std::move(*contact));
  return true;
}

bool PhoneNumMgrLogic::Modify() {
  if (!canModifyOrDelete()) return false;
  Contact& current = (*SelectedContacts())[static_cast<size_t>(selectedContact_)];
  auto edited = editor_.AskEdit(current);
  if (!edited) return false;
  current = std::move(*edited);
  return true;
}

bool PhoneNumMgrLogic::Delete() {
  if (!canModifyOrDelete()) return false;
  std::vector<Contact>& contacts = *SelectedContacts();
  if (!ConfirmDelete(messages_, contacts[static_cast<size_t>(selectedContact_)].name)) return false;
  contacts.erase(contacts.begin() + selectedContact_);
  selectedContact_ = -1;
  return true;
}

bool PhoneNumMgrLogic::Confirm(MonitorSettings& settings) {
  if (!editable_) return false;
  std::map<int32_t, AreaEntry> areas;
  for (size_t index = 0; index < rows_.size(); ++index) {
    const AreaRow& row = rows_[index];
    AreaEntry entry;
    std::string quiet = TrimBlanks(row.quiet);
    if (!quiet.empty()) {
      entry.quiet = ParseQuietHours(quiet);
      if (!entry.quiet) {
        SelectArea(static_cast<int>(index));
        ShowDialogError(messages_, "静默时段格式错误，请按“22:00-07:00”的格式输入！", "错误");
        return false;
      }
    }
    entry.name = row.name;
    entry.contacts = row.contacts;
    // An area that was already judged keeps its baseline, read now since
    // the poll may have moved it while the dialog was open; a new one gets
    // the same baseline the poll gives an area the platform just added.
    auto previous = settings.areas.find(row.id);
    entry.lastOfflineCount = previous != settings.areas.end() ? previous->second.lastOfflineCount : NEW_AREA_BASELINE;
    areas[row.id] = std::move(entry);
  }
  settings.areas = std::move(areas);
  saveSettings(settings);
  return true;
}
