#include "sim/broadcast/bcsim/command_connection.h"

#include <algorithm>

#include "sim/broadcast/bcsim/command_interpreter.h"
#include "sim/common/gbk_table.h"

namespace bcsim {
namespace {

using nlohmann::json;

}  // namespace

CommandConnection::CommandConnection(PlatformState& state, int64_t nowMs)
    : state_(state), id_(++state.lastConnectionId) {
  ++state_.openCommandConnections;
  Log("connect", "", nowMs, nullptr);
}

void CommandConnection::OnBytes(std::string_view bytes, int64_t nowMs, OutgoingQueue& out) {
  if (quit_) return;
  framer_.Feed(bytes, nowMs);
  Drain(nowMs, out);
}

int64_t CommandConnection::DueMs() const { return quit_ ? -1 : framer_.DueMs(state_.quietMs); }

void CommandConnection::OnDue(int64_t nowMs, OutgoingQueue& out) { Drain(nowMs, out); }

void CommandConnection::OnClosed(int64_t nowMs, bool byClient) {
  if (std::optional<CommandFramer::Unit> rest = framer_.TakeRest())
    Log("unanswered", rest->text, rest->firstByteMs, nullptr);
  --state_.openCommandConnections;
  Log("close", "", nowMs, {{"by", byClient ? "client" : "server"}});
}

void CommandConnection::Drain(int64_t nowMs, OutgoingQueue& out) {
  while (!quit_) {
    std::optional<CommandFramer::Unit> unit = framer_.Next(nowMs, state_.quietMs);
    if (!unit) return;
    switch (unit->kind) {
      case CommandFramer::Unit::Kind::kPiece: HandlePiece(*unit, nowMs, out); break;
      case CommandFramer::Unit::Kind::kPiecesEnd: HandlePiecesEnd(*unit, nowMs, out); break;
      case CommandFramer::Unit::Kind::kCommand:
        // A client that gives up on a command in pieces goes on with others.
        assembly_.reset();
        HandleCommand(unit->text, unit->firstByteMs, 0, nowMs, out);
        break;
    }
  }
}

void CommandConnection::HandlePiece(const CommandFramer::Unit& unit, int64_t nowMs, OutgoingQueue& out) {
  if (unit.sequence == 0) {
    assembly_ = std::string();
    nextPiece_ = 0;
    assemblyStartMs_ = unit.firstByteMs;
  }
  json extra = {{"seq", unit.sequence}};
  std::string reply;
  if (std::optional<bool> apply = state_.faults.TakeStall("piece"); apply) {
    // A stalled piece still counts when the stall says so: the client, not
    // the server, then decides whether the command goes on.
    if (*apply && assembly_ && unit.sequence == nextPiece_) {
      assembly_->append(unit.text, 4);
      ++nextPiece_;
    } else {
      assembly_.reset();
    }
    extra["stalled"] = true;
  } else if (std::optional<std::string> code = state_.faults.TakeFail("piece")) {
    assembly_.reset();
    reply = *code + " simulated failure";
  } else if (!assembly_ || unit.sequence != nextPiece_) {
    assembly_.reset();
    reply = "400 piece out of order";
  } else {
    assembly_->append(unit.text, 4);
    ++nextPiece_;
    reply = "000";
  }
  if (!reply.empty()) extra["reply"] = reply;
  Log("piece", unit.text, unit.firstByteMs, std::move(extra));
  out.Push(std::move(reply), nowMs);
}

void CommandConnection::HandlePiecesEnd(const CommandFramer::Unit& unit, int64_t nowMs, OutgoingQueue& out) {
  if (!assembly_) {
    std::string reply = "400 no command in pieces";
    Log("pieces_end", unit.text, unit.firstByteMs, {{"reply", reply}});
    out.Push(std::move(reply), nowMs);
    return;
  }
  Log("pieces_end", unit.text, unit.firstByteMs, nullptr);
  std::string command = std::move(*assembly_);
  assembly_.reset();
  HandleCommand(command, assemblyStartMs_, nextPiece_, nowMs, out);
}

void CommandConnection::HandleCommand(const std::string& text, int64_t firstByteMs, int pieces, int64_t nowMs,
                                      OutgoingQueue& out) {
  CommandOutcome outcome = ExecuteCommand(text, loggedOn_, state_, nowMs);
  json extra = json::object();
  if (pieces > 0) extra["pieces"] = pieces;
  switch (outcome.kind) {
    case CommandOutcome::Kind::kReply:
      extra["reply"] = simtext::GbkToUtf8Lossy(outcome.reply);
      out.Push(outcome.reply, nowMs);
      break;
    case CommandOutcome::Kind::kNoAnswer: extra["stalled"] = true; break;
    case CommandOutcome::Kind::kQuit:
      quit_ = true;
      out.CloseWhenWritten();
      break;
    case CommandOutcome::Kind::kTermList: {
      std::string reply;
      for (const std::string& line : outcome.lines) reply += line;
      // Several writes, spaced out, so that the client has to put the list
      // together from several receives.
      size_t chunk = static_cast<size_t>(std::max(1, state_.termList.chunkBytes));
      int64_t due = nowMs;
      for (size_t at = 0; at < reply.size(); at += chunk, due += state_.termList.gapMs)
        out.Push(reply.substr(at, chunk), due);
      size_t terminalLines = outcome.lines.size() - (outcome.closeAfterLines ? 0 : 1);
      extra["lines"] = terminalLines;
      extra["bytes"] = reply.size();
      if (outcome.closeAfterLines) {
        extra["closed"] = true;
        out.CloseWhenWritten();
      }
      break;
    }
  }
  Log("command", text, firstByteMs, std::move(extra));
}

void CommandConnection::Log(const char* kind, std::string_view text, int64_t t, json extra) {
  json entry = {{"t", t}, {"conn", id_}, {"kind", kind}};
  if (!text.empty() || std::string_view(kind) == "command") {
    entry["line"] = simtext::GbkToUtf8Lossy(text);
    // The bytes themselves when they are not clean GBK text.
    if (!simtext::GbkToUtf8(text)) {
      static const char kHex[] = "0123456789abcdef";
      std::string hex;
      for (unsigned char c : text) hex += {kHex[c >> 4], kHex[c & 15]};
      entry["hex"] = hex;
    }
  }
  if (extra.is_object()) entry.update(extra);
  state_.commandLog.Add(std::move(entry));
}

}  // namespace bcsim
