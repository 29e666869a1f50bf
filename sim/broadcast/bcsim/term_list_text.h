// The lines of a "term list" reply, in the code page the command port
// speaks (GBK): one per listed terminal,
//   "000 ID\tNAME\tIP\tAREA\tONLINE\tFAULT\tTAG\n",
// with a test's extra lines among them. The end line "000 \n" is not
// included: whoever sends the reply decides whether it is reached.
#pragma once

#include <string>
#include <vector>

#include "sim/broadcast/bcsim/platform_state.h"
#include "sim/broadcast/bcsim/scenario.h"

namespace bcsim {

inline constexpr char kTermListEnd[] = "000 \n";

std::vector<std::string> TermListLines(const Scenario& scenario, const TermListOptions& options);

}  // namespace bcsim
