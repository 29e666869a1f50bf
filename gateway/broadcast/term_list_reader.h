// The reader of the broadcast server's "term list" reply, apart from the
// socket so that it can be fed from memory. The reply is lines ending with
// LF: four leading characters (the code and a space), then TAB-separated
// fields; the list ends with the line "000 \n".
#pragma once

#include <cstddef>
#include <functional>
#include <sys/types.h>
#include <vector>

#include "gateway/broadcast/bc_agent.h"

// Receives more of the reply into `into`, at most `room` bytes: how many
// came, or <= 0 when none did (a time-out or a closed connection).
using TermListReceive = std::function<ssize_t(char* into, size_t room)>;

// Reads the reply whose first `filled` bytes are already at the start of
// `buffer` (`capacity` bytes, reused for every receive) and appends to `list`
// each line of at least seven fields. True when the end line came; false when
// a receive gave nothing or one line fills the whole buffer, with the list as
// read so far. Throws Exception "内存分配失败" (source "BCAgent::getTermList")
// when memory for a line cannot be had.
bool ReadTermList(char* buffer, size_t capacity, size_t filled, const TermListReceive& receive,
                  std::vector<TermInfo>& list);
