// The windowed gateway against the simulated installation, driven as an
// operator drives it: "连接", a message through its states, "重复播放", a
// text broadcast, and closing the window.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "gateway/app/gateway_window_app.h"
#include "gateway/pipeline/message_rows.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/recording_message_box.h"
#include "tests/e2e/support/gateway_installation.h"

namespace {

const std::string kSender = "13911112222";

// The operator types one text for the sender's number.
struct TypedText : TextBroadcastDialog {
  std::optional<TextBroadcastRequest> Ask(const PatTable& numbers) override {
    EXPECT_EQ(numbers.count(kSender), 1u);
    return TextBroadcastRequest{kSender, codepage::Utf8ToGbk("文本广播测试")};
  }
};

std::string Utf8(const std::string& gbk) { return codepage::GbkToUtf8(gbk); }

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(Utf8(line.substr(0, line.find('\r'))));
  return lines;
}

class WindowedGateway : public ::testing::Test {
 protected:
  void SetUp() override {
    GatewaySettings settings;
    settings.regular = 0;
    settings.delay = 1;
    settings.pat = {{kSender, "3,7"}};
    installation = std::make_unique<GatewayInstallation>(settings);
    GatewayStartFailure failure;
    app = GatewayWindowApp::Start(TakeGatewayProcess(), boxes, dialogs, text, failure);
    ASSERT_TRUE(app) << GatewayStartFailureText(failure);
    window().show();
    window().Start();
    // Every state text the list shows, in order, row by row.
    QObject::connect(window().list()->model(), &QAbstractItemModel::dataChanged,
                     [this](const QModelIndex& first, const QModelIndex&) {
                       std::string shown = first.data().toString().toStdString();
                       if (first.column() == COL_STATE && !shown.empty()) shownStates[first.row()].push_back(shown);
                     });
  }
  void TearDown() override {
    app.reset();
    installation.reset();
  }

  HeraldoMainWindow& window() { return app->window(); }
  QString StateShown(int row) {
    QTreeWidgetItem* item = window().list()->topLevelItem(row);
    return item ? item->text(COL_STATE) : QString();
  }
  bool WaitForState(int row, int32_t state, int ms) {
    QString wanted = QString::fromStdString(Utf8(StateText(state)));
    return QTest::qWaitFor([&] { return StateShown(row) == wanted; }, ms);
  }
  nlohmann::json Session(int number) { return installation->bcsim().Session(number); }

  RecordingMessageBox boxes;
  NoGatewayDialogs dialogs;
  TypedText text;
  std::unique_ptr<GatewayInstallation> installation;
  std::unique_ptr<GatewayWindowApp> app;
  std::map<int, std::vector<std::string>> shownStates;
};

TEST_F(WindowedGateway, OperatorConnectsReplaysBroadcastsTextAndCloses) {
  EXPECT_EQ(window().modemPane()->text(), QStringLiteral("短信猫未连接"));
  ASSERT_TRUE(window().connectAction()->isEnabled());
  window().connectAction()->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window().modemPane()->text() == QStringLiteral("短信猫已连接"); }, 30000));
  EXPECT_FALSE(window().connectAction()->isEnabled());
  EXPECT_TRUE(window().disconnectAction()->isEnabled());

  installation->InjectSms("86" + kSender, "请注意：三号楼停电检修。");
  ASSERT_TRUE(WaitForState(0, SMS_PLAYED, 60000)) << StateShown(0).toStdString();
  EXPECT_EQ(shownStates[0], (std::vector<std::string>{"短信等待播放", "短信正在播放", "短信播放完成"}));
  EXPECT_EQ(window().list()->topLevelItem(0)->text(COL_NUMBER).toStdString(), kSender);
  EXPECT_EQ(Session(1)["terminals"], nlohmann::json({3, 7}));

  // "重复播放" on the played row: a second session with the same sound.
  window().list()->topLevelItem(0)->setSelected(true);
  QMenu* menu = window().ContextMenuFor(0);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(menu->actions().at(0)->isEnabled());
  menu->actions().at(0)->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Session(2).value("state", "") == "removed"; }, 30000));
  EXPECT_EQ(Session(2)["terminals"], nlohmann::json({3, 7}));
  EXPECT_EQ(Session(2)["received"]["files"].size(), Session(1)["received"]["files"].size());

  // A text broadcast for the sender's number plays on its terminals.
  window().textBroadcastAction()->trigger();
  ASSERT_EQ(window().list()->topLevelItemCount(), 2);
  EXPECT_EQ(window().list()->topLevelItem(1)->text(COL_SOURCE), QStringLiteral("文本广播"));
  ASSERT_TRUE(WaitForState(1, TEXT_PLAYED, 60000)) << StateShown(1).toStdString();
  EXPECT_EQ(Session(3)["terminals"], nlohmann::json({3, 7}));

  // Closing appends every row to log.txt: the texts of columns 0 to 3, each followed by a blank.
  std::filesystem::path log = installation->home() / "log.txt";
  size_t before = Lines(log).size();
  std::vector<std::string> rows;
  for (int row = 0; row < 2; ++row) {
    std::string line;
    for (int column = 0; column < 4; ++column)
      line += window().list()->topLevelItem(row)->text(column).toStdString() + " ";
    rows.push_back(line);
  }
  window().close();
  std::vector<std::string> after = Lines(log);
  ASSERT_EQ(after.size(), before + 2);
  EXPECT_EQ(std::vector<std::string>(after.end() - 2, after.end()), rows);
}

}  // namespace
