// CPhoneNumMgrDlg, "电话号码管理": the contacts of every area and of the
// whole installation. The dialog edits copies; MonitorSettings changes only
// on OK, which is possible only when the platform's areas could be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/dialogs/monitor_dialogs.h"
#include "monitor/settings/monitor_settings.h"
#include "platform/ui/message_box.h"

// CContactsAndPhone as "添加" and "修改" open it.
class ContactEditor {
 public:
  virtual ~ContactEditor() = default;
  virtual std::optional<Contact> AskNew() = 0;
  virtual std::optional<Contact> AskEdit(const Contact& current) = 0;
};

// One row of the area list with its working copy of contacts.
struct AreaRow {
  int32_t id = TOTAL_AREA_ID;
  std::string name;  // GBK
  std::vector<Contact> contacts;
  std::string quiet;  // the quiet hours as typed, "22:00-07:00"; empty for none
};

class PhoneNumMgrLogic {
 public:
  // Reads the platform's areas from `areas` once, here. When that fails
  // the rows are the settings' areas and the dialog is read-only.
  PhoneNumMgrLogic(const MonitorSettings& settings, ServerAreaSource& areas, ContactEditor& editor,
                   ui::MessageBoxPort& messages);

  bool editable() const { return editable_; }
  const std::vector<AreaRow>& areaRows() const { return rows_; }
  // The selected area's contacts; empty without a selection.
  const std::vector<Contact>& contactRows() const;
  int selectedArea() const { return selectedArea_; }
  int selectedContact() const { return selectedContact_; }

  // -1 (or any row that does not exist) selects none. Choosing another
  // area drops the contact selection.
  void SelectArea(int row);
  void SelectContact(int row);

  bool canConfirm() const { return editable_; }
  bool canAdd() const { return editable_ && selectedArea_ >= 0; }
  bool canModifyOrDelete() const { return canAdd() && selectedContact_ >= 0; }
  // The selected area's quiet hours; the installation has none.
  bool canEditQuiet() const { return canAdd() && rows_[static_cast<size_t>(selectedArea_)].id >= 0; }
  const std::string& quietText() const;
  void SetQuietText(std::string text);

  // Each answers whether the contact rows changed. A new contact is the
  // last row; after "删除" no contact is selected.
  bool Add();
  bool Modify();
  bool Delete();

  // OK: replaces the settings' areas by the rows, saves them and answers
  // true; false (nothing written) when the dialog is read-only or a row's
  // quiet hours cannot be read (told in a box, that row selected).
  bool Confirm(MonitorSettings& settings);

 private:
  std::vector<Contact>* SelectedContacts();

  ContactEditor& editor_;
  ui::MessageBoxPort& messages_;
  bool editable_ = false;
  std::vector<AreaRow> rows_;
  int selectedArea_ = -1;
  int selectedContact_ = -1;
};
