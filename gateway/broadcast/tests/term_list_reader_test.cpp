// The term list reply read from memory, cut into receives at every byte, and
// a line too long for the buffer.
#include "gateway/broadcast/term_list_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Reads `reply` as a server would send it: `first` bytes with the command's
// reply, then receives of at most `piece` bytes.
struct Reading {
  bool ended = false;
  std::vector<TermInfo> list;
  int receives = 0;
};

Reading Read(const std::string& reply, size_t first, size_t piece, size_t capacity = COMMAND_BUFFER_SIZE) {
  std::vector<char> buffer(capacity);
  first = std::min({first, reply.size(), capacity - 1});
  std::memcpy(buffer.data(), reply.data(), first);
  size_t sent = first;
  Reading reading;
  auto receive = [&](char* into, size_t room) -> ssize_t {
    ++reading.receives;
    size_t take = std::min({piece, room, reply.size() - sent});
    std::memcpy(into, reply.data() + sent, take);
    sent += take;
    return static_cast<ssize_t>(take);
  };
  reading.ended = ReadTermList(buffer.data(), capacity, first, receive, reading.list);
  return reading;
}

const std::string kReply =
    "000 1\tHall A\t10.0.0.21\t0\t1\t0\t7\n"
    "000 99\tsix\t1.2.3.4\t0\t1\t0\n"        // one field short: skipped
    "000 \t\t98\tB\t10.0.0.9\t4\t1\t0\tx\n"  // leading TABs skipped
    "000 \n"
    "000 5\tafter the end\t1.1.1.1\t0\t0\t0\t0\n";

TEST(TermListReader, SameListWhereverTheReceivesCut) {
  for (size_t first = 0; first <= kReply.size(); ++first) {
    for (size_t piece : {1, 3, 1000}) {
      Reading reading = Read(kReply, first, piece);
      ASSERT_TRUE(reading.ended) << first << "/" << piece;
      ASSERT_EQ(reading.list.size(), 2u) << first << "/" << piece;
      EXPECT_EQ(reading.list[0].id, 1);
      EXPECT_EQ(reading.list[0].name, "Hall A");
      EXPECT_EQ(reading.list[0].ip, "10.0.0.21");
      EXPECT_EQ(reading.list[1].id, 98);
      EXPECT_EQ(reading.list[1].extra, 4);
    }
  }
}

TEST(TermListReader, SilenceOrALineLongerThanTheBufferEndsWithTheListSoFar) {
  Reading cut = Read(kReply.substr(0, 40), 10, 7);  // the server stops in the second line
  EXPECT_FALSE(cut.ended);
  EXPECT_EQ(cut.list.size(), 1u);

  std::string reply = "000 1\ta\tb\t0\t0\t0\t0\n000 " + std::string(100, 'x') + "\n000 \n";
  Reading tooLong = Read(reply, 20, 1000, 64);
  EXPECT_FALSE(tooLong.ended);
  EXPECT_EQ(tooLong.list.size(), 1u);
}

}  // namespace
