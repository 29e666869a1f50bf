// What a long-running program tells its operator as it works: one line per
// event. Run from a shell, the lines go to standard output; as a service,
// to syslog with their priority, so the journal can filter them.
#pragma once

namespace activity_log {

// Where the lines go from now on; syslog (under `ident`) until told
// otherwise. Call before other threads log.
void ToStandardOutput();
void ToSyslog(const char* ident);

// One line at syslog's `priority` (LOG_INFO, LOG_WARNING, ...). Thread-safe;
// each line is flushed as it is written.
void Log(int priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace activity_log
