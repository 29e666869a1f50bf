#include "platform/broadcast/file_stream.h"

#include <cmath>
#include <cstdlib>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/codepage/codepage.h"

namespace broadcast_components {
namespace {

using namespace com;

constexpr HRESULT kFileNotFound = HresultFromWin32(2);

// How much faster than real time files play: $QUILLON_PLAYBACK_SPEED, read
// at each start so a test can set it, 1 when unset or not a positive number.
double PlaybackSpeed() {
  const char* text = std::getenv("QUILLON_PLAYBACK_SPEED");
  if (!text || !*text) return 1.0;
  char* end = nullptr;
  double speed = std::strtod(text, &end);
  return (*end == '\0' && std::isfinite(speed) && speed > 0) ? speed : 1.0;
}

bool Exists(const std::string& path) { return !path.empty() && ::access(path.c_str(), F_OK) == 0; }

}  // namespace

FileStream::FileStream(std::shared_ptr<Apartment> apartment)
    : apartment_(std::move(apartment)), gate_(std::make_shared<EventGate>()), fileEnd_(this, IDB_FileEofEvent::kIid) {
  gate_->owner = this;
}

FileStream::~FileStream() {
  {
    std::lock_guard lock(gate_->mutex);
    gate_->owner = nullptr;
  }
  StopPlaying();
}

HRESULT FileStream::Create(const IID& iid, void** object) {
  return CreateObjectFor<FileStream>(iid, object, Apartment::Current());
}

HRESULT FileStream::Connect(IStreamControl* downstream) {
  if (!downstream) return E_POINTER;
  ComPtr<IAudioSink> sink;
  if (FAILED(downstream->QueryInterface(IAudioSink::kIid, sink.PutVoid())) || !sink) return E_NOINTERFACE;
  std::lock_guard lock(mutex_);
  downstream_ = std::move(sink);  // a file already playing keeps its output
  return S_OK;
}

HRESULT FileStream::Start() {
  std::lock_guard lock(mutex_);
  if (!file_) return E_UNEXPECTED;
  if (playing_) return S_FALSE;
  if (player_.joinable()) player_.join();  // the last file's thread, already done
  uint64_t generation = ++generation_;
  playing_ = true;
  try {
    player_ = std::thread(&FileStream::Play, this, file_, pathUtf8_, downstream_, generation, PlaybackSpeed());
  } catch (const std::system_error&) {
    playing_ = false;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT FileStream::Stop() {
  std::lock_guard lock(mutex_);
  ++generation_;
  StopPlaying();
  return S_OK;
}

HRESULT FileStream::OpenFile(BSTR path) {
  std::lock_guard lock(mutex_);
  ++generation_;
  StopPlaying();
  file_.reset();
  pathUtf8_.clear();
  if (SysStringLen(path) == 0) return E_INVALIDARG;

  // Files written by the programs may have GBK names; names from elsewhere
  // are UTF-8. The record sent downstream always carries the UTF-8 form.
  std::string utf8 = codepage::Utf16ToUtf8(BstrView(path));
  std::string onDisk = utf8;
  if (!Exists(onDisk)) onDisk = codepage::Utf16ToGbk(BstrView(path));
  if (!Exists(onDisk)) return kFileNotFound;
  std::string error;
  std::shared_ptr<const Mp3File> file = Mp3File::Read(onDisk, &error);
  if (!file) return E_FAIL;
  file_ = std::move(file);
  pathUtf8_ = std::move(utf8);
  return S_OK;
}

HRESULT FileStream::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT FileStream::FindConnectionPoint(const IID& eventIid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (eventIid != fileEnd_.EventIid()) return CONNECT_E_NOCONNECTION;
  fileEnd_.AddRef();
  *point = &fileEnd_;
  return S_OK;
}

void FileStream::StopPlaying() {
  {
    std::lock_guard lock(stopMutex_);
    stopRequested_ = true;
  }
  stopSignal_.notify_all();
  if (player_.joinable()) player_.join();
  std::lock_guard lock(stopMutex_);
  stopRequested_ = false;
  playing_ = false;
}

bool FileStream::WaitUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(stopMutex_);
  return !stopSignal_.wait_until(lock, deadline, [this] { return stopRequested_; });
}

void FileStream::Play(std::shared_ptr<const Mp3File> file, std::string pathUtf8, ComPtr<IAudioSink> sink,
                      uint64_t generation, double speed) {
  // Output failures are the network stream's to handle; the file plays on
  // in real time regardless, as the platform's player would.
  if (sink) sink->BeginFile(pathUtf8);
  auto deadline = std::chrono::steady_clock::now();
  for (const Mp3File::Frame& frame : file->Frames()) {
    if (sink) sink->Frame(frame.durationUs, file->Bytes(frame));
    deadline += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::micro>(frame.durationUs / speed));
    if (!WaitUntil(deadline)) return;  // stopped: no end record, no event
  }
  if (sink) sink->EndFile();
  playing_ = false;
  if (apartment_) apartment_->Post([gate = gate_, generation] { DeliverFileEnd(gate, generation); });
}

void FileStream::DeliverFileEnd(const std::shared_ptr<EventGate>& gate, uint64_t generation) {
  std::vector<ComPtr<IDB_FileEofEvent>> sinks;
  {
    std::lock_guard lock(gate->mutex);
    FileStream* owner = gate->owner;
    if (!owner || owner->generation_ != generation) return;
    sinks = owner->fileEnd_.Sinks<IDB_FileEofEvent>();
  }
  // No lock is held here: a sink usually stops, opens and starts the next file.
  for (auto& sink : sinks) {
    DISPPARAMS none;
    sink->Invoke(kDispidFileEof, kNullGuid, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  }
}

}  // namespace broadcast_components
