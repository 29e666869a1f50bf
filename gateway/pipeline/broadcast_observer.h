// What the message pipeline tells whoever keeps its figures (the metrics
// and the status page): how long each stage of a message took, how each
// broadcast ended, how many messages wait. Called on the pipeline's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// Where the time from the modem to the loudspeakers goes. Wait is the time
// a message waits for its turn: from its arrival until its speech starts,
// and from its MP3 until its session starts (a number still busy, a server
// tried again); with speech, encode and session it makes up total, arrival
// to played.
enum class BroadcastStage { Wait, Speech, Encode, Session, Total };
inline constexpr int kBroadcastStages = 5;

enum class BroadcastResult { Played, Refused, Failed };
inline constexpr int kBroadcastResults = 3;

struct BroadcastEnd {
  BroadcastResult result = BroadcastResult::Played;
  // As the row shows them, GBK.
  std::string number;
  std::string time;
  std::string text;
  std::string stateText;
};

class BroadcastObserver {
 public:
  virtual ~BroadcastObserver() = default;
  virtual void StageTook(BroadcastStage stage, std::chrono::duration<double> took) = 0;
  virtual void Ended(const BroadcastEnd& end) = 0;
  // Rows waiting to be played, after each step of the pipeline.
  virtual void Waiting(size_t messages) = 0;
};
