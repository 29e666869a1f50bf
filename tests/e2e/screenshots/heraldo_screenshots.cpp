// Writes the pictures of the gateway's window and dialogs that the README
// shows: the window on the simulated installation with rows in each state,
// its context menu, and every dialog. Run on an X server with a window
// manager (scripts/screenshots.sh), so that the pictures have title bars.
//
//   heraldo_screenshots OUTPUT_DIR
#include <cstdio>
#include <string>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include "gateway/app/gateway_window_app.h"
#include "gateway/app/speech_preview.h"
#include "gateway/dialogs/qt/clear_file_dialog.h"
#include "gateway/dialogs/qt/comm_settings_dialog.h"
#include "gateway/dialogs/qt/pat_dialog.h"
#include "gateway/dialogs/qt/pat_entry_dialog.h"
#include "gateway/dialogs/qt/qt_gateway_dialogs.h"
#include "gateway/dialogs/qt/text_broadcast_dialog.h"
#include "gateway/dialogs/term_list_source.h"
#include "gateway/pipeline/message_rows.h"
#include "platform/codepage/codepage.h"
#include "platform/profile/profile.h"
#include "platform/ui/qt/qt_message_box.h"
#include "tests/e2e/screenshots/snap.h"
#include "tests/e2e/support/gateway_installation.h"

namespace {

const std::string kPlayer = "13911112222";   // plays on terminals 3 and 7
const std::string kRefused = "13800000005";  // the server refuses its session
const std::string kStranger = "13000000000";

struct OneText : TextBroadcastDialog {
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override {
    return TextBroadcastRequest{kPlayer,
                                codepage::Utf8ToGbk("各位同事请注意：今天下午三点在一楼大厅召开全体会议，请准时参加。"
                                                    "会议结束后请各部门负责人留下讨论下周的工作安排。")};
  }
};

QString StateShown(HeraldoMainWindow& window, int row) {
  QTreeWidgetItem* item = window.list()->topLevelItem(row);
  return item ? item->text(COL_STATE) : QString();
}

bool WaitForState(HeraldoMainWindow& window, int row, int32_t state) {
  QString wanted = QString::fromStdString(codepage::GbkToUtf8(StateText(state)));
  return QTest::qWaitFor([&] { return StateShown(window, row) == wanted; }, 90000);
}

bool WaitForRows(HeraldoMainWindow& window, int rows) {
  return QTest::qWaitFor([&] { return window.list()->topLevelItemCount() >= rows; }, 30000);
}

int Shoot() {
  GatewaySettings settings;
  settings.regular = 0;
  settings.delay = 1;
  settings.pat = {{kPlayer, "3,7"}, {kRefused, "1,2,5"}, {"13500000001", "9,10,11,12"}};
  GatewayInstallation installation(settings, "1");  // sound plays in real time: rows stay playing
  // A session the server refuses fails at once instead of being tried again.
  profile::WritePrivateProfileString("Journal", std::string("ReplayMinutes"), std::string("0"),
                                     (installation.home() / "SMS.ini").string());

  GatewayProcess process = TakeGatewayProcess();
  ServerTermListSource terminals(process.server);
  QtMessageBox messageBox;
  QtGatewayDialogs dialogs(nullptr, terminals, messageBox);
  OneText text;
  GatewayStartFailure failure;
  auto app = GatewayWindowApp::Start(process, messageBox, dialogs, text, failure);
  if (!app) return std::fprintf(stderr, "start failed: %s\n", GatewayStartFailureText(failure).c_str()), 1;
  HeraldoMainWindow& window = app->window();
  window.resize(1100, 420);
  window.show();
  window.Start();
  window.connectAction()->trigger();
  if (!QTest::qWaitFor([&] { return app->logic().StatusText() == codepage::Utf8ToGbk("短信猫已连接"); }, 30000))
    return 1;

  installation.InjectSms("86" + kPlayer, "请注意：三号楼今天下午两点停电检修。");
  if (!WaitForRows(window, 1) || !WaitForState(window, 0, SMS_PLAYED)) return 2;
  installation.bcsim().Call({{"cmd", "fail"}, {"command", "session new"}, {"count", 1}});
  installation.InjectSms("86" + kRefused, "二号楼电梯维修，请走楼梯。");
  if (!WaitForRows(window, 2) || !WaitForState(window, 1, SMS_FAILED)) return 3;
  installation.InjectSms("86" + kStranger, "这条短信来自未授权的号码。");
  if (!WaitForRows(window, 3)) return 4;
  window.textBroadcastAction()->trigger();
  if (!WaitForState(window, 3, TEXT_PLAYING)) return 5;
  installation.InjectSms("86" + kPlayer, "会议改到四点。");
  if (!WaitForRows(window, 5) || !WaitForState(window, 4, SMS_WAITING)) return 6;

  bool ok = Snap(&window, "heraldo-main-window.png");
  window.list()->topLevelItem(0)->setSelected(true);
  QMenu* menu = window.ContextMenuFor(0);
  QRect row = window.list()->visualItemRect(window.list()->topLevelItem(0));
  menu->popup(window.list()->viewport()->mapToGlobal(row.center()));
  ok = Snap(menu, "heraldo-context-menu.png", false) && ok;
  menu->hide();

  {  // the dialogs go before the window that is their parent
    QtPatEntryDialog entries(&window, terminals, messageBox);
    CPATDlg pat(&window, {settings.pat, 0, {{kPlayer, "2468"}}, 10}, entries, messageBox);
    ok = Snap(&pat, "heraldo-authorisation.png") && ok;
    pat.hide();
    PatEntryLogic entry(PatEntry{kPlayer, "3,7", "2468"}, messageBox);
    CNewMofifyPATDlg modify(&window, entry, terminals);
    ok = Snap(&modify, "heraldo-authorisation-entry.png") && ok;
    modify.hide();
    std::vector<std::string> numbers;
    for (const auto& [number, ids] : settings.pat) numbers.push_back(number);
    SpeechPreview preview(app->core().settings, app->core().view->TempDirectory(), "null");
    CTextBroadcast textDialog(&window, numbers, messageBox, &preview);
    ok = Snap(&textDialog, "heraldo-text-broadcast.png") && ok;
    textDialog.hide();
    CClearFileDlg clear(&window, {app->core().settings.lastClearTime + "\n", 1, 7}, messageBox);
    ok = Snap(&clear, "heraldo-file-cleanup.png") && ok;
    clear.hide();
    CCommSettingsDlg comm(&window, {"COM3", "19200", "127.0.0.1", 1, true, true, "8613800100500"}, messageBox);
    ok = Snap(&comm, "heraldo-comm-settings.png") && ok;
    comm.hide();
  }
  window.close();
  app.reset();
  return ok ? 0 : 7;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) return std::fprintf(stderr, "usage: heraldo_screenshots OUTPUT_DIR\n"), 2;
  SetScreenshotFolder(QString::fromLocal8Bit(argv[1]));
  return Shoot();
}
