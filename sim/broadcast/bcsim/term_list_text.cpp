#include "sim/broadcast/bcsim/term_list_text.h"

#include <algorithm>

#include "sim/common/gbk_table.h"

namespace bcsim {

std::vector<std::string> TermListLines(const Scenario& scenario, const TermListOptions& options) {
  std::vector<std::string> lines;
  for (const Terminal* t : scenario.Listed()) {
    // Written as they are: an empty name or tag leaves two TABs together,
    // which a client splitting on runs of TABs reads as a short line.
    lines.push_back("000 " + std::to_string(t->id) + "\t" + simtext::Utf8ToGbkLossy(t->name) + "\t" + t->ip + "\t" +
                    std::to_string(scenario.FirstAreaOf(t->id)) + "\t" + (t->online ? "1" : "0") + "\t" +
                    std::to_string(t->fault) + "\t" + simtext::Utf8ToGbkLossy(t->tag) + "\n");
  }
  size_t at = std::min(lines.size(), static_cast<size_t>(std::max(0, options.extraAt)));
  std::vector<std::string> extra;
  for (const std::string& line : options.extraLines) extra.push_back(simtext::Utf8ToGbkLossy(line));
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
  return lines;
}

}  // namespace bcsim
