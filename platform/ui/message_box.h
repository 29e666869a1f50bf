// Every message box of the programs goes through this port, handed down
// from the program's start, so that tests can read what the operator would
// have seen and a program without a display can log it instead. Texts are
// GBK, as everywhere inside the programs.
#pragma once

#include <string>

namespace ui {

enum class MessageIcon { None, Information, Warning, Error, Question };

enum MessageButtons { MB_OK = 0, MB_OKCANCEL = 1, MB_YESNO = 4 };
enum MessageResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  // Shows the box and returns the button chosen.
  virtual int Show(const std::string& text, const std::string& caption, MessageIcon icon, int buttons) = 0;
};

// The box of a program without a display: writes the text to standard
// error and answers OK (or Yes).
class StderrMessageBox final : public MessageBoxPort {
 public:
  int Show(const std::string& text, const std::string& caption, MessageIcon icon, int buttons) override;
};

}  // namespace ui
