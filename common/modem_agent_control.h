// The client agent as a program's window drives it: ask for the connection
// or drop it, see whether the modem is ready, read the port and rate the
// service confirmed. Interfaces, so that window logic is tested without a
// service; KestrumAgentControl puts the real agent behind them.
#pragma once

#include <string>

#include "common/kestrum_agent.h"

class ModemAgentView {
 public:
  virtual ~ModemAgentView() = default;
  virtual bool ConnectRequested() const = 0;
  virtual bool ModemReady() const = 0;
  virtual void GetModemSettings(int& port, int& rate) = 0;
};

class ModemAgentControl : public ModemAgentView {
 public:
  virtual void Connect(int port, int rate, const std::string& host) = 0;
  virtual void Disconnect() = 0;
};

class KestrumAgentControl : public ModemAgentControl {
 public:
  explicit KestrumAgentControl(KestrumAgent& agent) : agent_(agent) {}
  bool ConnectRequested() const override { return agent_.ConnectRequested(); }
  bool ModemReady() const override { return agent_.ModemReady(); }
  void GetModemSettings(int& port, int& rate) override { agent_.GetModemSettings(port, rate); }
  void Connect(int port, int rate, const std::string& host) override { agent_.Connect(port, rate, host); }
  void Disconnect() override { agent_.Disconnect(); }

 protected:
  KestrumAgent& agent_;
};
