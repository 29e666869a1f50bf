#include "gateway/dialogs/term_list_source.h"

#include "gateway/broadcast/bc_exception.h"

std::vector<TermInfo> ServerTermListSource::TermList() {
  std::vector<TermInfo> terminals;
  try {
    BCAgent agent(server_);
    agent.getTermList(terminals);
  } catch (const Exception&) {
    // An unreachable server shows as empty lists; the entry dialog's own
    // check then keeps the operator from confirming an empty choice.
    terminals.clear();
  }
  return terminals;
}
