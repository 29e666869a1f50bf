// Heraldo --speak: one text to WAV and MP3, as a message would be.
#pragma once

#include <string>

// Prints the result code and both paths; 0 only when both files exist.
int SpeakOnce(const std::string& utf8Text, const std::string& wavPath);
