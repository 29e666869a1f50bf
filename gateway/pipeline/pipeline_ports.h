// What the message pipeline needs from the rest of the gateway, as
// interfaces: the window, the headless program and the tests each plug in
// their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gateway/broadcast/play_item.h"
#include "gateway/gateway_settings.h"

// Received SMS, as the client agent hands them over.
class ReceivedMessages {
 public:
  virtual ~ReceivedMessages() = default;
  virtual bool PopReceived(std::string& peer, std::string& stamp, std::string& text) = 0;
  // The journal's id of the message PopReceived gave last; 0 for none.
  virtual int64_t LastJournalId() const { return 0; }
  // When the message PopReceived gave last reached the gateway (monotonic
  // time); nothing when it is not known, and the pipeline takes the moment
  // it was popped.
  virtual std::optional<std::chrono::steady_clock::time_point> LastArrival() const { return std::nullopt; }
};

// The broadcast server and its sessions.
class BroadcastPort {
 public:
  virtual ~BroadcastPort() = default;
  // Every terminal the server lists, in its order; empty when it cannot be reached.
  virtual std::vector<int> AllTerminalIds() = 0;
  // The new session's number, or -1.
  virtual int CreateSession(const std::vector<int>& terminals, const std::vector<PlayItem>& playList,
                            const std::string& name) = 0;
  // Whether a registered session has finished; nothing when it is not registered.
  virtual std::optional<bool> SessionFinished(int number) = 0;
  // Why a finished session did not reach its terminals (its audio did not
  // get to the server); empty when it did. Asked once, after it finished.
  virtual std::string SessionTrouble(int) { return {}; }
};

// What became of one message's speech, for the log.
struct SpeechResult {
  int code = 0;  // Text2Wav's result code
  // Characters no voice can say (emoji, control characters), left out.
  int droppedCharacters = 0;
  // Only pauses and blanks were left: nothing was spoken.
  bool nothingToSpeak = false;
};

// Speech and encoding of one message.
class AudioMaker {
 public:
  virtual ~AudioMaker() = default;
  // `text` is GBK; the WAV file is levelled to the settings' loudness.
  virtual SpeechResult Text2Wav(const std::string& text, const std::string& wavPath) = 0;
  virtual void Wav2Mp3(const std::string& wavPath) = 0;
};

// The operator's text broadcast dialog: the chosen number and text, or
// nothing when cancelled.
struct TextBroadcastRequest {
  std::string number;
  std::string text;
};
class TextBroadcastDialog {
 public:
  virtual ~TextBroadcastDialog() = default;
  virtual std::optional<TextBroadcastRequest> Ask(const PatTable& numbers) = 0;
};

// SMS back to senders, through the SMS service.
class ReplyPort {
 public:
  virtual ~ReplyPort() = default;
  // `text` is GBK. False when it could not be queued (no centre, no modem).
  virtual bool Send(const std::string& number, const std::string& text) = 0;
};
