// "新建" / "修改": one entry of the authorisation table, a telephone number
// and the terminals its messages play on, chosen from the broadcast
// server's list. The widget shows the two lists as this class holds them
// and forwards every edit, move and click here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gateway/broadcast/bc_agent.h"
#include "gateway/dialogs/term_list_source.h"
#include "platform/ui/message_box.h"

// Number -> comma-separated terminal ids, as the table keeps them. GBK.
struct PatEntry {
  std::string number;
  std::string ids;
  // What its messages must begin with, followed by a blank; empty for none.
  std::string pin;
};

inline constexpr size_t PIN_MIN_DIGITS = 4;
inline constexpr size_t PIN_MAX_DIGITS = 8;

class PatEntryLogic {
 public:
  // A new entry: the number is typed, every terminal starts available.
  explicit PatEntryLogic(ui::MessageBoxPort& messages);
  // Modifying `existing`: its number is fixed, its terminals start chosen.
  PatEntryLogic(PatEntry existing, ui::MessageBoxPort& messages);

  // Fetches the server's terminals and fills both lists. A terminal is
  // chosen when the entry's id list names it; ids the server no longer
  // lists are dropped from view, and from the entry once confirmed.
  void Open(TermListSource& terminals);

  bool isNew() const { return isNew_; }
  const std::string& caption() const { return caption_; }
  const std::string& number() const { return number_; }
  // The number box takes digits only, and nothing while modifying; false
  // when `text` is refused and the number stays as it was.
  bool SetNumber(const std::string& text);
  static bool AcceptsNumberText(const std::string& text);
  // "短信口令:" takes up to 8 digits, while new or modifying; empty for none.
  static bool AcceptsPinText(const std::string& text);
  bool SetPin(const std::string& text);
  const std::string& pin() const { return pin_; }

  // The rows of "可选终端列表:" and "已选终端列表:", top to bottom.
  const std::vector<TermInfo>& leftRows() const { return left_; }
  const std::vector<TermInfo>& rightRows() const { return chosen_; }

  // Refills the left list with the available terminals whose name or IP
  // address contains `text` (case counts); empty shows them all.
  void SetSearch(const std::string& text);
  const std::string& search() const { return search_; }

  // Each move answers what it appended to the other list's end.
  std::optional<TermInfo> MoveRight(size_t leftRow);
  std::vector<TermInfo> MoveAllRight();
  std::optional<TermInfo> MoveLeft(size_t rightRow);
  std::vector<TermInfo> MoveAllLeft();

  // "确定": refuses an empty number, then an empty choice, then a PIN of
  // fewer than 4 digits, each with its message; true when the dialog may
  // close. The id list is then ids().
  bool Confirm();
  const std::string& ids() const { return ids_; }

 private:
  bool isNew_;
  std::string caption_;
  std::string number_;
  std::string ids_;
  std::string pin_;
  std::string search_;
  std::vector<TermInfo> all_;
  std::vector<TermInfo> available_;
  std::vector<TermInfo> chosen_;  // also the right list's rows, in order
  std::vector<TermInfo> left_;
  ui::MessageBoxPort& messages_;
};
