// What the gateway tells a sender by SMS, when the settings ask for it: how
// the broadcast of their message ended, or that their number may not
// broadcast (at most once an hour per number).
#pragma once

#include <ctime>
#include <map>
#include <string>

#include "gateway/gateway_settings.h"
#include "gateway/pipeline/pipeline_ports.h"

class SenderReplies {
 public:
  // Both must outlive it; `port` may be null (no replies at all).
  SenderReplies(const GatewaySettings& settings, ReplyPort* port) : settings_(settings), port_(port) {}
  void UsePort(ReplyPort& port) { port_ = &port; }

  // `text` is the message as spoken (GBK). Each returns the reply's text
  // (GBK) when one was handed over, empty otherwise.
  std::string Played(const std::string& number, const std::string& text, size_t terminals);
  std::string Failed(const std::string& number, const std::string& text);
  std::string Refused(const std::string& number, std::time_t now);
  // Why the last reply could not be sent (UTF-8), for the log; empty when it was.
  const std::string& trouble() const { return trouble_; }

 private:
  std::string Send(const std::string& number, const std::string& text);

  const GatewaySettings& settings_;
  ReplyPort* port_;
  std::map<std::string, std::time_t> refusalToldAt_;
  std::string trouble_;
};

// The first `count` characters of GBK `text`, and "…" when that is not all of it.
std::string Opening(const std::string& text, size_t count);
