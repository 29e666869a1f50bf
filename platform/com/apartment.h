// Single-threaded apartments: the rule that an object's events reach its
// clients on the thread that created it, from that thread's event loop.
//
// CoInitialize gives the calling thread an Apartment: a queue of callbacks
// that only that thread runs. Components take Apartment::Current() when they
// are created and Post their events to it from their worker threads. The
// owning thread drains the queue either
//  - itself, with RunPending / RunFor / RunUntil (tests, headless programs), or
//  - from its GUI event loop: SetWakeUp installs a function that Post calls,
//    on the posting thread, after each callback it queues. A Qt program
//    passes one that queues a RunPending call onto the UI thread, e.g.
//      apartment->SetWakeUp([apartment, receiver] {
//        QMetaObject::invokeMethod(receiver, [apartment] { apartment->RunPending(); },
//                                  Qt::QueuedConnection);
//      });
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/com/hresult.h"

namespace com {

class Apartment {
 public:
  using Callback = std::function<void()>;

  explicit Apartment(std::thread::id owner);
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

  // The calling thread's apartment; null before CoInitialize and after the
  // matching CoUninitialize.
  static std::shared_ptr<Apartment> Current();

  // Thread-safe. Queues the callback for the owning thread and calls the
  // wake-up function; false (callback dropped) once the apartment is closed.
  bool Post(Callback callback);

  // The following run callbacks and must be called on the owning thread;
  // elsewhere they run nothing (and RunUntil returns the predicate's value).
  // Callbacks run in the order posted; one posted while the queue is being
  // run waits for the next call, so a callback that posts again cannot
  // starve the caller.

  // Runs what is queued now; returns how many ran.
  size_t RunPending();
  // Runs callbacks as they arrive for `duration`.
  size_t RunFor(std::chrono::milliseconds duration);
  // Runs callbacks as they arrive until `done` holds (checked before waiting
  // and after each batch) or `timeout` passes; returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // Thread-safe. Replaces the wake-up function (null removes it); when
  // callbacks are already waiting it is called at once.
  void SetWakeUp(Callback wakeUp);

  bool IsOwnerThread() const { return std::this_thread::get_id() == owner_; }
  size_t PendingCount() const;

  // Drops the queue and refuses further posts. Called by the final
  // CoUninitialize of the owning thread.
  void Close();

 private:
  bool WaitForWork(std::chrono::steady_clock::time_point deadline);

  const std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Callback> queue_;
  std::shared_ptr<const Callback> wakeUp_;
  bool closed_ = false;
};

// Enters the calling thread into its own apartment. S_OK for the first call
// on a thread, S_FALSE for a nested one; each needs a CoUninitialize.
// `reserved` must be null.
HRESULT CoInitialize(void* reserved = nullptr);
// Undoes one CoInitialize; the last one closes the thread's apartment.
void CoUninitialize();

}  // namespace com
