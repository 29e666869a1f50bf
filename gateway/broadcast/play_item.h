// One sound file of a session's play list.
#pragma once

#include <string>

struct PlayItem {
  std::string name;  // display name, e.g. "OneSecond.mp3"
  std::string path;  // full path; the only part that is played
};
