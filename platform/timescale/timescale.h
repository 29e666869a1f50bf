// Every wait of the SMS service (sleeps, serial time-outs, elapsed-time
// checks) runs through this scale. It is 1 in production; tests set
// QUILLON_TIME_SCALE (for example 0.1) so that a 10 s time-out takes 1 s,
// while the code keeps its real timings.
#pragma once

#include <chrono>

namespace timescale {

using Clock = std::chrono::steady_clock;

// The factor, read once from QUILLON_TIME_SCALE (0 < factor <= 1; anything
// else means 1).
double Factor();

// The real duration of a nominal one.
std::chrono::microseconds Real(std::chrono::microseconds nominal);

void Sleep(std::chrono::milliseconds nominal);

// Nominal time: real time since the first call, divided by the factor.
Clock::time_point Now();

// Whole nominal seconds from `start` to `now`, truncated.
long ElapsedSeconds(Clock::time_point start, Clock::time_point now);

}  // namespace timescale
