// The audio components as the gateway drives them: created by class
// identifier, joined, pointed at a (fake) data port, the file-end event
// subscribed through the registered type library.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/broadcast/broadcast_components.h"
#include "platform/broadcast/tests/fake_bcsim.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/connection_interfaces.h"
#include "platform/com/stream_interfaces.h"
#include "platform/com/type_info_dispatch.h"
#include "platform/com/type_library.h"

namespace {

using namespace com;
using namespace std::chrono_literals;
using broadcast_components::DataRecord;
using broadcast_components::RecordType;
using broadcast_components::testing::FakeDataServer;

constexpr uint32_t kLoopback = 0x7F000001;
constexpr double kSpeed = 20;
// MPEG-1 layer III, 128 kbit/s, 44100 Hz, mono: 417 bytes and 1152 samples.
constexpr uint8_t kFrameHeader[] = {0xFF, 0xFB, 0x90, 0xC0};
constexpr size_t kFrameSize = 417;
constexpr uint32_t kFrameUs = 26122;

// Frames of digital silence: all-zero side information is a valid frame.
void WriteMp3(const std::filesystem::path& path, int frames) {
  std::ofstream out(path, std::ios::binary);
  std::string frame(kFrameSize, '\0');
  frame.replace(0, 4, reinterpret_cast<const char*>(kFrameHeader), 4);
  for (int i = 0; i < frames; ++i) out << frame;
}

// Implements the event the way the gateway's handler does: IDispatch from
// the registered type information.
class FileEndSink final : public TypeInfoDispatch<IDB_FileEofEvent> {
 public:
  using TypeInfoDispatch::TypeInfoDispatch;

  std::atomic<int> events{0};
  std::thread::id lastThread;
  std::function<void()> onEvent;

  HRESULT FileEof() override {
    ++events;
    lastThread = std::this_thread::get_id();
    if (onEvent) onEvent();
    return S_OK;
  }
};

class AudioComponents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(), S_OK);
    broadcast_components::RegisterBroadcastComponents();
    setenv("QUILLON_PLAYBACK_SPEED", "20", 1);
    dir_ = std::filesystem::temp_directory_path() / ("file_stream_test." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    WriteMp3(dir_ / "one.mp3", 40);
    WriteMp3(dir_ / "long.mp3", 2000);
    std::ofstream(dir_ / "notes.txt") << "These are not the frames you are looking for.\n";

    ASSERT_EQ(CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IStreamControl::kIid, file_.PutVoid()),
              S_OK);
    ASSERT_EQ(file_.As(&playback_), S_OK);
    ASSERT_EQ(
        CoCreateInstance(kClsidNetworkStream, nullptr, kComponentContext, IStreamControl::kIid, netControl_.PutVoid()),
        S_OK);
    ASSERT_EQ(netControl_.As(&network_), S_OK);

    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(kRTimeLibId, kRTimeLibMajor, kRTimeLibMinor, 0, lib.Put()), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IDB_FileEofEvent::kIid, info.Put()), S_OK);
    sink_ = MakeObject<FileEndSink>(info);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(playback_.As(&container), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(IDB_FileEofEvent::kIid, point_.Put()), S_OK);
    ASSERT_EQ(point_->Advise(sink_.Get(), &cookie_), S_OK);

    ASSERT_EQ(file_->Connect(netControl_.Get()), S_OK);
  }

  void TearDown() override {
    if (point_) point_->Unadvise(cookie_);
    point_.Reset();
    file_.Reset();
    playback_.Reset();
    netControl_.Reset();
    network_.Reset();
    broadcast_components::UnregisterBroadcastComponents();
    CoUninitialize();
    std::filesystem::remove_all(dir_);
  }

  HRESULT Open(const std::string& name) {
    UniqueBstr path(BstrFromUtf8((dir_ / name).string()));
    return playback_->OpenFile(path.get());
  }

  bool RunUntilEvents(int count) {
    return Apartment::Current()->RunUntil([&] { return sink_->events >= count; }, 5s);
  }

  std::filesystem::path dir_;
  ComPtr<IStreamControl> file_, netControl_;
  ComPtr<IFilePlayback> playback_;
  ComPtr<INetworkStream> network_;
  ComPtr<FileEndSink> sink_;
  ComPtr<IConnectionPoint> point_;
  uint32_t cookie_ = 0;
};

TEST_F(AudioComponents, OpensOnlyPlayableFiles) {
  EXPECT_EQ(file_->Start(), E_UNEXPECTED);  // nothing open yet
  EXPECT_EQ(Open("one.mp3"), S_OK);
  EXPECT_TRUE(FAILED(Open("notes.txt")));
  EXPECT_EQ(file_->Start(), E_UNEXPECTED);  // a failed open leaves no file
  EXPECT_EQ(Open("missing.mp3"), HresultFromWin32(2));
  std::ofstream(dir_ / "empty.mp3");
  EXPECT_TRUE(FAILED(Open("empty.mp3")));
  EXPECT_EQ(playback_->OpenFile(nullptr), E_INVALIDARG);

  ComPtr<IStreamControl> notASink;
  ASSERT_EQ(file_.As(&notASink), S_OK);
  EXPECT_EQ(file_->Connect(notASink.Get()), E_NOINTERFACE);
  EXPECT_EQ(file_->Connect(nullptr), E_POINTER);
}

TEST_F(AudioComponents, PlaysInRealTimeToTheSessionAndRaisesOneEventOnTheCreatingThread) {
  FakeDataServer server;
  network_->SetSession(12);
  network_->SetServer(kLoopback, server.Port());
  ASSERT_EQ(Open("one.mp3"), S_OK);
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(file_->Start(), S_OK);
  EXPECT_EQ(file_->Start(), S_FALSE);  // already playing: no second file, no second event

  ASSERT_TRUE(server.WaitForRecords(42, 5s));
  auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_GE(elapsed, std::chrono::microseconds(static_cast<int64_t>(40 * kFrameUs / kSpeed * 0.9)));
  // The event waits for this thread's loop; no other thread delivers it.
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(sink_->events, 0);
  ASSERT_TRUE(RunUntilEvents(1));
  EXPECT_EQ(sink_->lastThread, std::this_thread::get_id());
  Apartment::Current()->RunFor(100ms);
  EXPECT_EQ(sink_->events, 1);

  std::vector<DataRecord> records = server.Records();
  ASSERT_EQ(records.size(), 42u);
  for (const DataRecord& r : records) EXPECT_EQ(r.session, 12);
  EXPECT_EQ(records.front().type, RecordType::kFileStart);
  EXPECT_EQ(std::string(records.front().payload.begin(), records.front().payload.end()), (dir_ / "one.mp3").string());
  for (size_t i = 1; i <= 40; ++i) {
    ASSERT_EQ(records[i].type, RecordType::kAudioFrame);
    ASSERT_EQ(records[i].payload.size(), 4 + kFrameSize);
    EXPECT_EQ(records[i].payload[0] | records[i].payload[1] << 8, static_cast<int>(kFrameUs));
    EXPECT_TRUE(std::equal(kFrameHeader, kFrameHeader + 4, records[i].payload.begin() + 4));
  }
  EXPECT_EQ(records.back().type, RecordType::kFileEnd);
  EXPECT_TRUE(records.back().payload.empty());
}

TEST_F(AudioComponents, TheEventHandlerCanPlayTheNextFile) {
  FakeDataServer server;
  network_->SetSession(3);
  network_->SetServer(kLoopback, server.Port());
  WriteMp3(dir_ / "two.mp3", 10);
  sink_->onEvent = [this] {
    if (sink_->events > 1) return;
    file_->Stop();
    ASSERT_EQ(Open("two.mp3"), S_OK);
    ASSERT_EQ(file_->Start(), S_OK);
  };
  ASSERT_EQ(Open("one.mp3"), S_OK);
  ASSERT_EQ(file_->Start(), S_OK);
  ASSERT_TRUE(RunUntilEvents(2));
  ASSERT_TRUE(server.WaitForRecords(42 + 12, 5s));
  std::vector<DataRecord> records = server.Records();
  EXPECT_EQ(std::string(records[42].payload.begin(), records[42].payload.end()), (dir_ / "two.mp3").string());
  EXPECT_EQ(records.back().type, RecordType::kFileEnd);
}

TEST_F(AudioComponents, StopRaisesNoEventNotEvenAQueuedOne) {
  FakeDataServer server;
  network_->SetServer(kLoopback, server.Port());
  ASSERT_EQ(Open("long.mp3"), S_OK);
  ASSERT_EQ(file_->Start(), S_OK);
  ASSERT_TRUE(server.WaitForRecords(3, 5s));
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(file_->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);  // does not wait for the file's end
  size_t sent = server.Records().size();

  // A file that ended while this thread was busy: its event is queued, and
  // a Stop before the loop runs cancels it.
  ASSERT_EQ(Open("one.mp3"), S_OK);
  ASSERT_EQ(file_->Start(), S_OK);
  ASSERT_TRUE(server.WaitForRecords(sent + 42, 5s));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Apartment::Current()->PendingCount(), 1u);
  file_->Stop();
  Apartment::Current()->RunFor(100ms);
  EXPECT_EQ(sink_->events, 0);
  for (size_t i = 0; i < sent; ++i) EXPECT_NE(server.Records()[i].type, RecordType::kFileEnd);

  // Released while playing: the component goes away quietly.
  ASSERT_EQ(Open("long.mp3"), S_OK);
  ASSERT_EQ(file_->Start(), S_OK);
  point_->Unadvise(cookie_);
  point_.Reset();
  playback_.Reset();
  file_.Reset();
  Apartment::Current()->RunFor(50ms);
  EXPECT_EQ(sink_->events, 0);
}

TEST_F(AudioComponents, PlayingGoesOnWithoutAServerAndFollowsANewOne) {
  uint16_t deadPort;
  {
    FakeDataServer gone;
    deadPort = gone.Port();
  }
  EXPECT_EQ(network_->SetServer(0xFFFFFFFF, 15001), E_INVALIDARG);
  network_->SetServer(kLoopback, deadPort);
  ASSERT_EQ(Open("one.mp3"), S_OK);
  ASSERT_EQ(file_->Start(), S_OK);
  ASSERT_TRUE(RunUntilEvents(1));  // nobody listened, the file still ended

  FakeDataServer first, second;
  network_->SetSession(5);
  network_->SetServer(kLoopback, first.Port());
  file_->Stop();
  ASSERT_EQ(file_->Start(), S_OK);
  ASSERT_TRUE(RunUntilEvents(2));
  network_->SetServer(kLoopback, second.Port());
  file_->Stop();
  ASSERT_EQ(file_->Start(), S_OK);
  ASSERT_TRUE(RunUntilEvents(3));
  ASSERT_TRUE(second.WaitForRecords(42, 5s));
  ASSERT_TRUE(first.WaitForRecords(42, 5s));
  EXPECT_EQ(first.Records().size(), 42u);
  EXPECT_EQ(second.Records().front().session, 5);
}

}  // namespace
