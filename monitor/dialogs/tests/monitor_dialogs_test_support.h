// What the monitor dialogs' tests share: a message box that records every
// box in UTF-8 and answers with the reply the test chose, and sub-dialogs
// and an area source that answer from queues.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "monitor/dialogs/monitor_dialogs.h"
#include "monitor/dialogs/phone_num_mgr_logic.h"
#include "monitor/dialogs/sys_cfg_logic.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/recording_message_box.h"

template <typename Value>
class QueuedEditor {
 public:
  // Each ask takes the next reply; nothing stands for Cancel.
  std::deque<std::optional<Value>> replies;
  std::vector<Value> edited;  // what "修改" opened with

 protected:
  std::optional<Value> Next() {
    if (replies.empty()) return std::nullopt;
    auto reply = replies.front();
    replies.pop_front();
    return reply;
  }
};

class FakeTimePointEditor final : public TimePointEditor, public QueuedEditor<ReportTimePoint> {
 public:
  std::optional<ReportTimePoint> AskNew() override { return Next(); }
  std::optional<ReportTimePoint> AskEdit(const ReportTimePoint& current) override {
    edited.push_back(current);
    return Next();
  }
};

class FakeContactEditor final : public ContactEditor, public QueuedEditor<Contact> {
 public:
  std::optional<Contact> AskNew() override { return Next(); }
  std::optional<Contact> AskEdit(const Contact& current) override {
    edited.push_back(current);
    return Next();
  }
};

class FixedAreas final : public ServerAreaSource {
 public:
  explicit FixedAreas(std::optional<std::vector<ServerArea>> areas) : areas_(std::move(areas)) {}
  std::optional<std::vector<ServerArea>> ReadAreas() override { return areas_; }

 private:
  std::optional<std::vector<ServerArea>> areas_;
};

inline std::string Gbk(const char* utf8) { return codepage::Utf8ToGbk(utf8); }
