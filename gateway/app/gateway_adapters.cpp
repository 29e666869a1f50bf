#include "gateway/app/gateway_adapters.h"

#include "gateway/audio/message_speech.h"
#include "gateway/audio/text_to_speech.h"
#include "gateway/audio/wav_to_mp3.h"
#include "gateway/broadcast/bc_agent.h"
#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast/session_mgr.h"
#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"

std::vector<int> ServerBroadcast::AllTerminalIds() {
  std::vector<TermInfo> list;
  try {
    BCAgent agent(server_);
    agent.getTermList(list);
    // A list that ended without its end line leaves the agent disconnected.
    // Played to the part that came, the message would miss the rest of the
    // installation unnoticed; it fails instead, as without a server.
    if (!agent.connected()) list.clear();
  } catch (const Exception& failure) {
    // Out of memory for the list: no terminals, so the message fails as it
    // does when the server cannot be reached.
    WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "%s", failure.fullMessage().c_str());
    list.clear();
  }
  std::vector<int> ids;
  for (const auto& terminal : list) ids.push_back(terminal.id);
  contact_.Tell(!ids.empty(), SystemClock().WallNow());
  return ids;
}

int ServerBroadcast::CreateSession(const std::vector<int>& terminals, const std::vector<PlayItem>& playList,
                                   const std::string& name) {
  int number = -1;
  try {
    number = sessions_.CreateSession(terminals, playList, name);
  } catch (const Exception& failure) {
    // Out of memory for the session objects: the message fails like a refusal.
    WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "%s", failure.fullMessage().c_str());
  }
  contact_.Tell(number != -1, SystemClock().WallNow());
  return number;
}

std::string ServerBroadcast::SessionTrouble(int number) {
  std::string trouble = sessions_.TakeTrouble(number);
  // Audio lost on its way to the data port: the server is not there for the next one either.
  contact_.Tell(trouble.empty(), SystemClock().WallNow());
  return trouble;
}

std::optional<bool> ServerBroadcast::SessionFinished(int number) {
  Session* session = sessions_.FindSession(number);
  if (!session) return std::nullopt;
  return session->finished;
}

SpeechResult SpeechAudio::Text2Wav(const std::string& text, const std::string& wavPath) {
  TextToSpeech speech;
  MessageSpeech made = SpeakMessage(speech, codepage::GbkToUtf8(text), wavPath, SpeechLoudness(settings_));
  return {made.code, made.spoken.dropped, !made.spoken.HasSpeech()};
}

void SpeechAudio::Wav2Mp3(const std::string& wavPath) {
  LameEntryTable entries{};
  ::Wav2Mp3(wavPath, entries);
}
