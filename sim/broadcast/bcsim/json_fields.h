// Reading fields of JSON requests and scenario entries with one kind of
// error: a BadRequest whose text tells the client what to fix. The control
// port turns it into {"ok":false,"error":...}, the scenario loader into a
// start-up message.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace bcsim {

struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};

template <typename T>
T Field(const nlohmann::json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end()) throw BadRequest(std::string("missing \"") + name + "\"");
  // nlohmann converts between number kinds and truncates; a test that sends
  // 1.5 or "3" as a count should hear about it instead.
  if constexpr (std::is_same_v<T, bool>) {
    if (!it->is_boolean()) throw BadRequest(std::string("\"") + name + "\" must be true or false");
  } else if constexpr (std::is_integral_v<T>) {
    if (!it->is_number_integer()) throw BadRequest(std::string("\"") + name + "\" must be an integer");
    if (it->is_number_unsigned()
            ? it->template get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<T>::max())
            : it->template get<int64_t>() < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
                  it->template get<int64_t>() > static_cast<int64_t>(std::numeric_limits<T>::max()))
      throw BadRequest(std::string("\"") + name + "\" is out of range");
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!it->is_string()) throw BadRequest(std::string("\"") + name + "\" must be a string");
  }
  try {
    return it->template get<T>();
  } catch (const nlohmann::json::exception&) {
    throw BadRequest(std::string("\"") + name + "\" has the wrong type");
  }
}

template <typename T>
T Field(const nlohmann::json& object, const char* name, T fallback) {
  return object.contains(name) ? Field<T>(object, name) : fallback;
}

inline int Ranged(const nlohmann::json& object, const char* name, int fallback, int low, int high) {
  int value = Field<int>(object, name, fallback);
  if (value < low || value > high)
    throw BadRequest(std::string("\"") + name + "\" must be " + std::to_string(low) + ".." + std::to_string(high));
  return value;
}

}  // namespace bcsim
