#include "platform/com/apartment.h"

#include <utility>

namespace com {
namespace {

struct ThreadApartment {
  std::shared_ptr<Apartment> apartment;
  int initCount = 0;

  ~ThreadApartment() {
    // A thread that ends without balancing its CoInitialize still closes its
    // apartment, so components stop posting to a queue nobody runs.
    if (apartment) apartment->Close();
  }
};

thread_local ThreadApartment tThread;

}  // namespace

Apartment::Apartment(std::thread::id owner) : owner_(owner) {}

std::shared_ptr<Apartment> Apartment::Current() { return tThread.apartment; }

bool Apartment::Post(Callback callback) {
  std::shared_ptr<const Callback> wakeUp;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    queue_.push_back(std::move(callback));
    wakeUp = wakeUp_;
  }
  posted_.notify_all();
  if (wakeUp && *wakeUp) (*wakeUp)();
  return true;
}

size_t Apartment::RunPending() {
  if (!IsOwnerThread()) return 0;
  size_t batch;
  {
    std::lock_guard lock(mutex_);
    batch = queue_.size();
  }
  size_t ran = 0;
  // One at a time, so that a callback which throws or closes the apartment
  // leaves the rest queued rather than lost.
  for (; ran < batch; ++ran) {
    Callback next;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    if (next) next();
  }
  return ran;
}

bool Apartment::WaitForWork(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return posted_.wait_until(lock, deadline, [this] { return !queue_.empty() || closed_; }) && !queue_.empty();
}

size_t Apartment::RunFor(std::chrono::milliseconds duration) {
  if (!IsOwnerThread()) return 0;
  auto deadline = std::chrono::steady_clock::now() + duration;
  size_t ran = RunPending();
  while (std::chrono::steady_clock::now() < deadline) {
    if (!WaitForWork(deadline)) {
      std::unique_lock lock(mutex_);
      if (closed_) break;
      continue;
    }
    ran += RunPending();
  }
  return ran;
}

bool Apartment::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  if (!IsOwnerThread()) return done();
  auto deadline = std::chrono::steady_clock::now() + timeout;
  RunPending();
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (WaitForWork(deadline)) RunPending();
  }
  return true;
}

void Apartment::SetWakeUp(Callback wakeUp) {
  auto shared = wakeUp ? std::make_shared<const Callback>(std::move(wakeUp)) : nullptr;
  bool waiting;
  {
    std::lock_guard lock(mutex_);
    wakeUp_ = shared;
    waiting = !queue_.empty();
  }
  if (shared && waiting) (*shared)();
}

size_t Apartment::PendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void Apartment::Close() {
  std::deque<Callback> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(queue_);
    wakeUp_.reset();
  }
  posted_.notify_all();
  // `dropped` is destroyed here, outside the lock: callbacks may hold
  // references whose release re-enters the apartment.
}

HRESULT CoInitialize(void* reserved) {
  if (reserved) return E_INVALIDARG;
  if (tThread.initCount++ > 0) return S_FALSE;
  tThread.apartment = std::make_shared<Apartment>(std::this_thread::get_id());
  return S_OK;
}

void CoUninitialize() {
  if (tThread.initCount == 0) return;
  if (--tThread.initCount > 0) return;
  std::shared_ptr<Apartment> apartment = std::move(tThread.apartment);
  apartment->Close();
}

}  // namespace com
