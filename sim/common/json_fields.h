// Reading fields of the simulators' JSON requests and scenario entries with
// one kind of error: a BadRequest whose text tells the client what to fix.
// Each control port turns it into {"ok":false,"error":...}, bcsim's scenario
// loader into a start-up message.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

namespace simjson {

struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};

template <typename T>
struct IsList : std::false_type {};
template <typename T>
struct IsList<std::vector<T>> : std::true_type {};

// One value, checked before it is converted: nlohmann converts between
// number kinds, truncates and wraps, and a float beyond an integer's range
// is undefined behaviour. A test that sends 1.5, "3", 1e10 or 4294967297 as
// a count should hear about it instead. `what` names the value in the error.
template <typename T>
T Value(const nlohmann::json& value, const std::string& what) {
  if constexpr (std::is_same_v<T, bool>) {
    if (!value.is_boolean()) throw BadRequest(what + " must be true or false");
  } else if constexpr (std::is_integral_v<T>) {
    if (!value.is_number_integer()) throw BadRequest(what + " must be an integer");
    if (value.is_number_unsigned()
            ? value.template get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<T>::max())
            : value.template get<int64_t>() < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
                  value.template get<int64_t>() > static_cast<int64_t>(std::numeric_limits<T>::max()))
      throw BadRequest(what + " is out of range");
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!value.is_string()) throw BadRequest(what + " must be a string");
  } else if constexpr (IsList<T>::value) {
    if (!value.is_array()) throw BadRequest(what + " must be a list");
    T items;
    for (const nlohmann::json& item : value) items.push_back(Value<typename T::value_type>(item, what + " entry"));
    return items;
  }
  try {
    return value.template get<T>();
  } catch (const nlohmann::json::exception&) {
    throw BadRequest(what + " has the wrong type");
  }
}

template <typename T>
T Field(const nlohmann::json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end()) throw BadRequest(std::string("missing \"") + name + "\"");
  return Value<T>(*it, std::string("\"") + name + "\"");
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

}  // namespace simjson
