// The gateway's diagnostic log: a process-wide registry from a category
// number to a logger with a threshold and sinks. The broadcast client writes
// its failure lines to category 2 at "error"; they go nowhere unless some
// logger has been registered there.
#pragma once

#include <functional>
#include <memory>
#include <string>

enum class LogLevel { Debug = 0, Info = 1, Warn = 2, Error = 3 };

const char* LogLevelName(LogLevel level);  // "debug", "info", "warn", "error"

inline constexpr int BROADCAST_LOG_CATEGORY = 2;
inline constexpr size_t LOG_LINE_MAX = 4095;

using LogSink = std::function<void(const char* levelName, const std::string& line)>;

// Registers (or replaces) the logger of `category`.
void RegisterLogger(int category, LogLevel threshold);
void AddLogSink(int category, LogSink sink);
void RemoveLogger(int category);

// Formats printf-style into at most 4,095 characters and hands the line to
// every sink of the category's logger, when it exists and admits `level`.
void WriteLog(int category, LogLevel level, const char* format, ...);
