#include "gateway/broadcast/diag_log.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct Logger {
  LogLevel threshold;
  std::vector<LogSink> sinks;
};

// Built on first use; sinks run outside the registry's lock.
struct Registry {
  std::mutex mutex;
  std::map<int, std::shared_ptr<Logger>> loggers;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

const char* LogLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Debug: return "debug";
    case LogLevel::Info: return "info";
    case LogLevel::Warn: return "warn";
    case LogLevel::Error: return "error";
  }
  return "error";
}

void RegisterLogger(int category, LogLevel threshold) {
  auto& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.loggers[category] = std::make_shared<Logger>(Logger{threshold, {}});
}

void AddLogSink(int category, LogSink sink) {
  auto& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  auto it = registry.loggers.find(category);
  if (it == registry.loggers.end()) return;
  auto copy = std::make_shared<Logger>(*it->second);
  copy->sinks.push_back(std::move(sink));
  it->second = copy;
}

void RemoveLogger(int category) {
  auto& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.loggers.erase(category);
}

void WriteLog(int category, LogLevel level, const char* format, ...) {
  std::shared_ptr<Logger> logger;
  {
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.loggers.find(category);
    if (it != registry.loggers.end()) logger = it->second;
  }
  if (!logger || level < logger->threshold || logger->sinks.empty()) return;
  char line[LOG_LINE_MAX + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  for (const auto& sink : logger->sinks) sink(LogLevelName(level), line);
}
