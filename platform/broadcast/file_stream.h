// The file stream stand-in. OpenFile reads the file's MPEG frames; Start
// plays them on a thread of its own in real time (each frame's duration,
// divided by $QUILLON_PLAYBACK_SPEED when set, e.g. 20 in tests), handing
// each to the connected network stream. A file that plays to its end raises
// IDB_FileEofEvent once, on the thread that created the component: the
// playing thread posts it to that thread's apartment. Stop, OpenFile and
// the next Start cancel an event still waiting there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/broadcast/audio_sink.h"
#include "platform/broadcast/mp3_file.h"
#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/connection_point.h"
#include "platform/com/implements.h"
#include "platform/com/stream_interfaces.h"

namespace broadcast_components {

class FileStream final
    : public com::Implements<com::StreamControlImplBase, com::FilePlaybackImplBase, com::IConnectionPointContainer> {
 public:
  // `apartment` receives the file-end events; null drops them.
  explicit FileStream(std::shared_ptr<com::Apartment> apartment);
  ~FileStream() override;

  static com::HRESULT Create(const com::IID& iid, void** object);

  // IStreamControl.
  com::HRESULT Connect(com::IStreamControl* downstream) override;
  com::HRESULT Start() override;
  com::HRESULT Stop() override;

  // IFilePlayback. Fails with 0x80070002 for a file that does not exist
  // and E_FAIL for one that holds no MPEG audio; the stream then has no
  // file. The path is tried as UTF-8, then as GBK bytes.
  com::HRESULT OpenFile(com::BSTR path) override;

  // IConnectionPointContainer.
  com::HRESULT EnumConnectionPoints(com::IEnumConnectionPoints** points) override;
  com::HRESULT FindConnectionPoint(const com::IID& eventIid, com::IConnectionPoint** point) override;

 private:
  // What a posted event needs to find out, on the apartment's thread,
  // whether the component still lives and still wants the event.
  struct EventGate {
    std::mutex mutex;
    FileStream* owner = nullptr;
  };

  void StopPlaying();
  void Play(std::shared_ptr<const Mp3File> file, std::string pathUtf8, com::ComPtr<IAudioSink> sink,
            uint64_t generation, double speed);
  bool WaitUntil(std::chrono::steady_clock::time_point deadline);
  static void DeliverFileEnd(const std::shared_ptr<EventGate>& gate, uint64_t generation);

  const std::shared_ptr<com::Apartment> apartment_;
  const std::shared_ptr<EventGate> gate_;
  com::ConnectionPoint fileEnd_;

  // Guards the members below it. The playing thread never takes it, so it
  // may be held while that thread is joined.
  std::mutex mutex_;
  std::shared_ptr<const Mp3File> file_;
  std::string pathUtf8_;
  com::ComPtr<IAudioSink> downstream_;
  std::thread player_;

  std::atomic<bool> playing_{false};
  // Each Start and Stop moves it on; an event carries the value of its Start.
  std::atomic<uint64_t> generation_{0};

  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  bool stopRequested_ = false;
};

}  // namespace broadcast_components
