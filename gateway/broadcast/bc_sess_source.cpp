#include "gateway/broadcast/bc_sess_source.h"

#include <arpa/inet.h>
#include <cstdio>
#include <netdb.h>

#include "gateway/broadcast/bc_exception.h"
#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast_server_settings.h"
#include "platform/codepage/codepage.h"
#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"
#include "platform/com/connection_interfaces.h"
#include "platform/ui/message_box.h"

using com::FAILED;
using com::SUCCEEDED;

namespace {

// Where a component could not be reached; the start ends there.
void TellOperator(ui::MessageBoxPort& messages, const char* utf8) {
  std::string text = codepage::Utf8ToGbk(utf8);
  WriteLog(BROADCAST_LOG_CATEGORY, LogLevel::Error, "%s", text.c_str());
  messages.Show(text, codepage::Utf8ToGbk("提示"), ui::MessageIcon::Error, ui::MB_OK);
}

std::string HresultText(com::HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

}  // namespace

uint32_t ServerAddressValue(const std::string& address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) == 1) return ntohl(parsed.s_addr);
  // A host name reaches the command port too; the audio must follow it there.
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return 0xFFFFFFFF;
  uint32_t value = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return value;
}

bcSessSource::bcSessSource(std::vector<PlayItem> playList, const BroadcastEnvironment& environment,
                           std::function<void(int number)> onFinished)
    : playList_(std::move(playList)), environment_(environment), onFinished_(std::move(onFinished)) {}

void bcSessSource::Finished() {
  com::ComPtr<com::INetworkDelivery> delivery;
  int32_t records = 0, lost = 0;
  if (network_ && SUCCEEDED(network_.As(&delivery)) && SUCCEEDED(delivery->GetDelivery(&records, &lost)) && lost > 0) {
    char text[160];
    std::snprintf(text, sizeof text, "%d of its %d audio records did not reach the broadcast server's data port", lost,
                  records);
    trouble_ = text;
  }
  if (onFinished_) onFinished_(number_);
}

bcSessSource::~bcSessSource() {
  if (state_ == SOURCE_PLAYING) stop();
  Unsubscribe();
  ReleaseComponents();
  if (handler_) handler_->setOwner(nullptr);  // an event still on its way finds no owner
}

void bcSessSource::start(int number) {
  if (state_ != SOURCE_IDLE && state_ != SOURCE_STOPPED) return;
  number_ = number;
  if (!ObtainComponents()) return;
  if (!cookie_ && filePlayback_) Subscribe();
  if (FAILED(fileControl_->Connect(networkControl_.Get()))) {
    TellOperator(environment_.messages, "(文件->网络)服务无法连接，请检查服务是否已启动！");
    return;
  }
  network_->SetSession(number_);
  network_->SetServer(ServerAddressValue(environment_.server.serverAddress), BROADCAST_DATA_PORT);
  if (playList_.empty()) {
    environment_.messages.Show(codepage::Utf8ToGbk("播放文件列表为空"), codepage::Utf8ToGbk("提示"),
                               ui::MessageIcon::Error, ui::MB_OK);
    return;
  }
  fileControl_->Stop();
  const std::string& first = playList_[0].path;
  com::BSTR path = com::BstrFromGbk(first);
  com::HRESULT opened = filePlayback_->OpenFile(path);
  com::SysFreeString(path);
  if (FAILED(opened))
    throw Exception(FormatExceptionText(codepage::Utf8ToGbk("找不到声音文件: %s").c_str(), first.c_str()),
                    BC_SOURCE("bcSessSource::start"));
  com::HRESULT started = fileControl_->Start();
  if (FAILED(started))
    throw Exception(FormatExceptionText(codepage::Utf8ToGbk("播放文件失败: %s: %s").c_str(), first.c_str(),
                                        HresultText(started).c_str()),
                    BC_SOURCE("bcSessSource::start"));
  currentIndex_ = 0;
  state_ = SOURCE_PLAYING;
}

bool bcSessSource::ObtainComponents() {
  using namespace com;
  if (!fileControl_ && FAILED(CoCreateInstance(kClsidFileStream, nullptr, kComponentContext, IStreamControl::kIid,
                                               fileControl_.PutVoid()))) {
    TellOperator(environment_.messages, "采播服务（文件流）无法连接，请检查服务是否已启动！");
    return false;
  }
  if (!filePlayback_ && FAILED(fileControl_.As(&filePlayback_))) {
    TellOperator(environment_.messages, "采播服务（文件播放）无法连接，请检查服务是否已启动！");
    return false;
  }
  if (!networkControl_ && FAILED(CoCreateInstance(kClsidNetworkStream, nullptr, kComponentContext, IStreamControl::kIid,
                                                  networkControl_.PutVoid()))) {
    TellOperator(environment_.messages, "采播服务（网络流）无法连接，请检查服务是否已启动！");
    return false;
  }
  if (!network_ && FAILED(networkControl_.As(&network_))) {
    TellOperator(environment_.messages, "采播服务（网络接口）无法连接，请检查服务是否已启动！");
    return false;
  }
  return true;
}

void bcSessSource::Subscribe() {
  using namespace com;
  ComPtr<FileEnd_Handler> handler = MakeObject<FileEnd_Handler>();
  if (!handler) return;
  handler->setOwner(this);
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  if (FAILED(filePlayback_.As(&container)) ||
      FAILED(container->FindConnectionPoint(IDB_FileEofEvent::kIid, point.Put())))
    return;
  uint32_t cookie = 0;
  if (FAILED(point->Advise(handler->Identity(), &cookie))) return;
  cookie_ = cookie;
  handler_ = handler;
}

void bcSessSource::Unsubscribe() {
  using namespace com;
  if (!cookie_ || !filePlayback_) return;
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  if (SUCCEEDED(filePlayback_.As(&container)) &&
      SUCCEEDED(container->FindConnectionPoint(IDB_FileEofEvent::kIid, point.Put())))
    point->Unadvise(cookie_);
  cookie_ = 0;
}

void bcSessSource::ReleaseComponents() {
  fileControl_.Reset();
  filePlayback_.Reset();
  networkControl_.Reset();
  network_.Reset();
}

bool bcSessSource::OpenAndStart(const std::string& path) {
  com::BSTR text = com::BstrFromGbk(path);
  com::HRESULT opened = filePlayback_->OpenFile(text);
  com::SysFreeString(text);
  return SUCCEEDED(opened) && SUCCEEDED(fileControl_->Start());
}

bool bcSessSource::playNext() {
  if (!fileControl_ || !filePlayback_) return false;
  for (;;) {
    ++currentIndex_;
    if (currentIndex_ >= static_cast<int32_t>(playList_.size())) return false;
    fileControl_->Stop();
    if (OpenAndStart(playList_[currentIndex_].path)) return true;  // otherwise the file is skipped
  }
}

void bcSessSource::stop() {
  if (state_ != SOURCE_PLAYING) return;
  Unsubscribe();
  if (fileControl_) fileControl_->Stop();
  ReleaseComponents();
  state_ = SOURCE_STOPPED;
  currentIndex_ = -1;
}
