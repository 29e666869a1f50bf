#include "gateway/authorisation.h"

Authorisation Authorise(const GatewaySettings& settings, const std::string& number, AuthorisationStep step) {
  Authorisation result;
  // A sender named by text is a service or an advertiser, never a person
  // with a right to the loudspeakers, whatever Regular says.
  if (!IsTelephoneNumber(number)) return result;
  auto entry = settings.pat.find(number);
  result.listed = entry != settings.pat.end();
  if (result.listed) result.ids = entry->second;
  // A hand-edited Regular (neither 0 nor 1) refuses unlisted senders at
  // arrival, yet plays listed ones to every terminal.
  result.allowed =
      result.listed || (step == AuthorisationStep::Arrival ? settings.regular == 1 : settings.regular != 0);
  result.allTerminals = settings.regular != 0 || !result.listed;
  if (!result.allTerminals) result.terminals = SplitTerminalIds(result.ids);
  return result;
}
