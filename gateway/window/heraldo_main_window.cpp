#include "gateway/window/heraldo_main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/codepage/codepage.h"
#include "platform/ui/qt/program_icon.h"
#include "platform/ui/qt/report_lists.h"
#include "quillon_version.h"

namespace {

struct Column {
  const char* header;
  int width;
};
constexpr Column kColumns[] = {{"号码", 100}, {"时间", 140}, {"消息内容", 600}, {"广播状态", 100}, {"消息来源", 100}};

constexpr int kModemPaneWidth = 150;

QString FromGbk(const std::string& gbk) { return QString::fromStdString(codepage::GbkToUtf8(gbk)); }

QTreeWidgetItem* RowItem(const MessageRow& row) {
  auto* item = new QTreeWidgetItem;
  for (int column = 0; column < 5; ++column) item->setText(column, FromGbk(row.columns[column]));
  // A long message is cut short in its column; the whole of it on hovering.
  item->setToolTip(COL_TEXT, item->text(COL_TEXT));
  return item;
}

}  // namespace

HeraldoMainWindow::HeraldoMainWindow(HeraldoViewLogic& view, HeraldoWindowLogic& logic,
                                     std::function<void()> sessionsTick, std::function<void()> shutDown)
    : view_(view), logic_(logic), sessionsTick_(std::move(sessionsTick)), shutDown_(std::move(shutDown)) {
  setWindowTitle(QString::fromUtf8(HERALDO_WINDOW_TITLE));
  setWindowIcon(ProgramIcon(QColor(0x1F, 0x6F, 0xB2), QStringLiteral("播")));
  BuildMenus();
  BuildStatusBar();
  BuildList();
  WatchRows();
  resize(1080, 560);
}

HeraldoMainWindow::~HeraldoMainWindow() { view_.rows().SetObserver({}); }

void HeraldoMainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
  connect(file->addAction(QStringLiteral("退出(&X)")), &QAction::triggered, this, &QWidget::close);

  QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("视图(&V)"));
  QAction* statusBarShown = viewMenu->addAction(QStringLiteral("状态栏(&S)"));
  statusBarShown->setCheckable(true);
  statusBarShown->setChecked(true);
  connect(statusBarShown, &QAction::toggled, this, [this](bool shown) { statusBar()->setVisible(shown); });

  QMenu* sms = menuBar()->addMenu(QStringLiteral("SMS操作"));
  connect_ = sms->addAction(QStringLiteral("连接"));
  disconnect_ = sms->addAction(QStringLiteral("断开"));
  sms->addSeparator();
  textBroadcast_ = sms->addAction(QStringLiteral("文本广播"));
  connect(connect_, &QAction::triggered, this, [this] {
    logic_.Connect();
    ShowStatus();
  });
  connect(disconnect_, &QAction::triggered, this, [this] {
    logic_.Disconnect();
    ShowStatus();
  });
  connect(textBroadcast_, &QAction::triggered, this, [this] { view_.SendTextBroadcast(); });
  // Enabled as the agent stands when the menu opens, as the framework's
  // update handlers did.
  connect(sms, &QMenu::aboutToShow, this, &HeraldoMainWindow::ShowStatus);

  QMenu* settings = menuBar()->addMenu(QStringLiteral("软件设置"));
  commSettings_ = settings->addAction(QStringLiteral("通讯设置"));
  authorisation_ = settings->addAction(QStringLiteral("号码设置"));
  cleanup_ = settings->addAction(QStringLiteral("文件清理"));
  connect(commSettings_, &QAction::triggered, this, [this] {
    logic_.CommSettings();
    ShowStatus();
  });
  connect(authorisation_, &QAction::triggered, this, [this] { logic_.AuthorisationSettings(); });
  connect(cleanup_, &QAction::triggered, this, [this] { logic_.CleanupSettings(); });

  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
  about_ = help->addAction(QStringLiteral("关于 Heraldo(&A)..."));
  connect(about_, &QAction::triggered, this, &HeraldoMainWindow::ShowAbout);
}

void HeraldoMainWindow::BuildStatusBar() {
  modemPane_ = new QLabel(FromGbk(logic_.StatusText()));
  modemPane_->setFixedWidth(kModemPaneWidth);
  statusBar()->addWidget(modemPane_);
  if (!view_.StartNotice().empty()) statusBar()->addWidget(new QLabel(FromGbk(view_.StartNotice())), 1);
  // The lock-key panes: Qt cannot read the lock states, so they stay as
  // the panes of keys that are off, drawn greyed.
  for (const char* key : {"CAP", "NUM", "SCRL"}) {
    auto* pane = new QLabel(QString::fromLatin1(key));
    pane->setEnabled(false);
    statusBar()->addPermanentWidget(pane);
  }
}

void HeraldoMainWindow::BuildList() {
  list_ = new QTreeWidget;
  list_->setColumnCount(5);
  QStringList headers;
  for (const Column& column : kColumns) headers << QString::fromUtf8(column.header);
  list_->setHeaderLabels(headers);
  for (int i = 0; i < 5; ++i) list_->setColumnWidth(i, kColumns[i].width);
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list_->header()->setStretchLastSection(false);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // The selection stays as visible when the list loses the focus.
  QPalette palette = list_->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  list_->setPalette(palette);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, &HeraldoMainWindow::ShowContextMenu);
  setCentralWidget(list_);

  contextMenu_ = new QMenu(this);
  replay_ = contextMenu_->addAction(QStringLiteral("重复播放"));
  connect(replay_, &QAction::triggered, this, [this] {
    if (auto selected = FirstSelectedRow()) logic_.Replay(*selected);
  });
}

void HeraldoMainWindow::WatchRows() {
  MessageRows& rows = view_.rows();
  for (size_t i = 0; i < rows.size(); ++i) list_->addTopLevelItem(RowItem(rows[i]));
  rows.SetObserver({[this](size_t row) {
                      QTreeWidgetItem* item = RowItem(view_.rows()[row]);
                      list_->addTopLevelItem(item);
                      list_->scrollToItem(item);
                    },
                    [this] { delete list_->takeTopLevelItem(0); },
                    [this](size_t row) {
                      if (QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row)))
                        item->setText(COL_STATE, FromGbk(view_.rows()[row].columns[COL_STATE]));
                    }});
}

void HeraldoMainWindow::Start() {
  logic_.UpdateModemStatus();
  ShowStatus();
  for (GatewayTimer& timer : logic_.Timers([this] { ShowStatus(); }, sessionsTick_)) {
    auto* qtTimer = new QTimer(this);
    connect(qtTimer, &QTimer::timeout, this, std::move(timer.tick));
    qtTimer->start(static_cast<int>(timer.period.count()));
    timers_.push_back(qtTimer);
  }
}

void HeraldoMainWindow::ReceiveTick() {
  logic_.ReceiveTick();
  ShowStatus();
}

void HeraldoMainWindow::ScheduleTick() { view_.SchedulePlayback(); }

void HeraldoMainWindow::ShowStatus() {
  modemPane_->setText(FromGbk(logic_.StatusText()));
  connect_->setEnabled(logic_.CanConnect());
  disconnect_->setEnabled(logic_.CanDisconnect());
}

std::optional<size_t> HeraldoMainWindow::RowAt(const QPoint& position) const {
  QTreeWidgetItem* item = list_->itemAt(position);
  if (!item) return std::nullopt;
  return static_cast<size_t>(list_->indexOfTopLevelItem(item));
}

std::optional<size_t> HeraldoMainWindow::FirstSelectedRow() const { return ::FirstSelectedRow(*list_); }

QMenu* HeraldoMainWindow::ContextMenuFor(std::optional<size_t> row) {
  ContextMenuState state = logic_.ContextMenuFor(row);
  if (!state.shown) return nullptr;
  replay_->setEnabled(state.replayEnabled);
  return contextMenu_;
}

void HeraldoMainWindow::ShowContextMenu(const QPoint& position) {
  std::optional<size_t> row = RowAt(position);
  if (QMenu* menu = ContextMenuFor(row)) menu->exec(QCursor::pos());
}

void HeraldoMainWindow::ShowAbout() {
  QDialog about(this);
  about.setWindowTitle(QStringLiteral("关于 Heraldo"));
  auto* layout = new QVBoxLayout(&about);
  layout->addWidget(new QLabel(QStringLiteral("Heraldo, Version 2.31.4.1")));
  layout->addWidget(new QLabel(QStringLiteral("构建版本 ") + QString::fromLatin1(kQuillonVersion)));
  auto* buttons = new QDialogButtonBox;
  connect(buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole), &QPushButton::clicked, &about,
          &QDialog::accept);
  layout->addWidget(buttons);
  about.exec();
}

void HeraldoMainWindow::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void HeraldoMainWindow::closeEvent(QCloseEvent* event) {
  if (!shutDownDone_) {
    shutDownDone_ = true;
    for (QTimer* timer : timers_) timer->stop();
    view_.LogAllRows();
    if (shutDown_) shutDown_();
  }
  event->accept();
}
