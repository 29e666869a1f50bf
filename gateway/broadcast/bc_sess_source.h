// The gateway's half of a broadcast session: plays its list of sound files
// through the platform's file stream component into the network stream
// component, which sends them to the server for the session's number.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gateway/broadcast/broadcast_environment.h"
#include "gateway/broadcast/file_end_handler.h"
#include "gateway/broadcast/play_item.h"
#include "platform/com/com_ptr.h"
#include "platform/com/stream_interfaces.h"

enum SourceState { SOURCE_IDLE = 0, SOURCE_PLAYING = 1, SOURCE_STOPPED = 3 };

inline constexpr int32_t BROADCAST_DATA_PORT = 15001;

class bcSessSource {
 public:
  // `onFinished` hears the session's number once the last file has played.
  // The environment must outlive the source.
  bcSessSource(std::vector<PlayItem> playList, const BroadcastEnvironment& environment,
               std::function<void(int number)> onFinished);
  ~bcSessSource();
  bcSessSource(const bcSessSource&) = delete;
  bcSessSource& operator=(const bcSessSource&) = delete;

  // Plays item 0 into server session `number`. Throws Exception when the
  // first file cannot be opened or started; a component that cannot be
  // reached, or an empty list, is told to the operator and ends the start
  // without playing (the state stays as it was).
  void start(int number);
  // The next playable file after the current one; false past the end.
  bool playNext();
  // The file-end event found nothing more to play.
  void Finished();
  void stop();

  int number() const { return number_; }
  int state() const { return state_; }
  int currentIndex() const { return currentIndex_; }
  // Once finished: why the audio did not all reach the server; empty when it did.
  const std::string& trouble() const { return trouble_; }
  bool subscribed() const { return cookie_ != 0; }

 private:
  bool ObtainComponents();
  void Subscribe();
  void Unsubscribe();
  void ReleaseComponents();
  bool OpenAndStart(const std::string& path);

  std::vector<PlayItem> playList_;
  BroadcastEnvironment environment_;
  std::function<void(int)> onFinished_;
  com::ComPtr<com::IStreamControl> fileControl_;
  com::ComPtr<com::IFilePlayback> filePlayback_;
  com::ComPtr<com::IStreamControl> networkControl_;
  com::ComPtr<com::INetworkStream> network_;
  com::ComPtr<FileEnd_Handler> handler_;
  uint32_t cookie_ = 0;
  int32_t currentIndex_ = -1;
  int state_ = SOURCE_IDLE;
  int32_t number_ = -1;
  std::string trouble_;
};

// A server address as the network stream wants it: the first octet in the
// most significant byte; 0xFFFFFFFF when it names no IPv4 host.
uint32_t ServerAddressValue(const std::string& address);
