// The service's answer to a status request, as an operator reads it and as
// a script parses it.
#pragma once

#include <string>

#include "common/tp_packet.h"

// One "name: value" line per field.
std::string StatusText(const TpServiceStatus& status);
// One JSON object on one line; every key always present, null for what the
// service does not know.
std::string StatusJson(const TpServiceStatus& status);
