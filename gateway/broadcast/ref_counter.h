// A reference count the session objects carry; the session manager owns
// them outright, so nothing changes it.
#pragma once

#include <cstdint>

class RefCounter {
 public:
  virtual ~RefCounter() = default;

 protected:
  int32_t refCount_ = 0;
};
