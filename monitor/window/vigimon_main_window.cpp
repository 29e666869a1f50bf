#include "monitor/window/vigimon_main_window.h"

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/codepage/codepage.h"

namespace {

QString FromGbk(const std::string& gbk) { return QString::fromStdString(codepage::GbkToUtf8(gbk)); }

QIcon GoodIcon() { return QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton); }
QIcon BadIcon() { return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning); }

}  // namespace

VigimonMainWindow::VigimonMainWindow(VigimonWindowLogic& logic, TerminalListView& list, MonitorSettings& settings,
                                     MonitorDialogs& dialogs, ServerAreaSource& areas,
                                     std::function<void()> exportTable)
    : logic_(logic),
      listView_(list),
      settings_(settings),
      dialogs_(dialogs),
      areas_(areas),
      exportTable_(std::move(exportTable)),
      model_(list) {
  setWindowTitle(QString::fromUtf8(VIGIMON_WINDOW_TITLE));
  auto* top = new QWidget;
  BuildFilters(top);
  setCentralWidget(top);
  BuildMenus();
  BuildStatusBar();
  BuildTray();
  connect(&pollTimer_, &QTimer::timeout, this, [this] {
    ShowList(logic_.Poll());
    ShowStatus();
  });
  resize(1120, 560);
}

VigimonMainWindow::~VigimonMainWindow() = default;

void VigimonMainWindow::BuildMenus() {
  QMenu* system = menuBar()->addMenu(QStringLiteral("系统"));
  export_ = system->addAction(QStringLiteral("导出终端及故障表"));
  connect(export_, &QAction::triggered, this, [this] { exportTable_(); });
  connect(system->addAction(QStringLiteral("退出")), &QAction::triggered, this, &QWidget::close);
  QMenu* modem = menuBar()->addMenu(QStringLiteral("短信猫"));
  connect_ = modem->addAction(QStringLiteral("连接"));
  disconnect_ = modem->addAction(QStringLiteral("断开"));
  connect(connect_, &QAction::triggered, this, [this] {
    logic_.Connect();
    ShowStatus();
  });
  connect(disconnect_, &QAction::triggered, this, [this] {
    logic_.Disconnect();
    ShowStatus();
  });
  connect(modem, &QMenu::aboutToShow, this, &VigimonMainWindow::ShowStatus);
  QMenu* setup = menuBar()->addMenu(QStringLiteral("设置"));
  systemSettings_ = setup->addAction(QStringLiteral("系统参数"));
  phoneNumbers_ = setup->addAction(QStringLiteral("电话号码"));
  connect(systemSettings_, &QAction::triggered, this, [this] {
    if (!dialogs_.RunSystemSettings(settings_)) return;
    pollTimer_.start(logic_.SystemSettingsConfirmed());
  });
  connect(phoneNumbers_, &QAction::triggered, this, [this] {
    if (!dialogs_.RunPhoneNumbers(settings_, areas_)) return;
    bool rebuilt = logic_.PhoneNumbersConfirmed();
    FillAreaCombo();
    ShowStatus();
    ShowList(rebuilt);
  });
  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助"));
  connect(help->addAction(QStringLiteral("关于 终端故障监控...")), &QAction::triggered, this, [this] {
    QMessageBox about(QMessageBox::NoIcon, QStringLiteral("关于 终端故障监控"), QStringLiteral("终端故障监控 Vigimon"),
                      QMessageBox::NoButton, this);
    about.setIconPixmap(GoodIcon().pixmap(32, 32));
    about.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    about.exec();
  });
}

void VigimonMainWindow::BuildFilters(QWidget* top) {
  auto* layout = new QVBoxLayout(top);
  auto* filters = new QHBoxLayout;
  areaCombo_ = new QComboBox;
  stateCombo_ = new QComboBox;
  for (const char* state : {"所有", "在线", "离线", "故障"}) stateCombo_->addItem(QString::fromUtf8(state));
  auto* refresh = new QPushButton(QStringLiteral("刷新"));
  auto* test = new QPushButton(QStringLiteral("测试"));
  test->setVisible(false);  // the report, on demand, for whoever shows it
  filters->addWidget(new QLabel(QStringLiteral("终端分组：")));
  filters->addWidget(areaCombo_);
  filters->addSpacing(20);
  filters->addWidget(new QLabel(QStringLiteral("终端状态：")));
  filters->addWidget(stateCombo_);
  filters->addSpacing(20);
  filters->addWidget(refresh);
  filters->addWidget(test);
  filters->addStretch();
  layout->addLayout(filters);

  table_ = new QTableView;
  table_->setModel(&model_);
  table_->setShowGrid(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int column = 0; column < TERMINAL_COLUMNS; ++column)
    table_->setColumnWidth(column, TerminalListView::ColumnWidth(column));
  layout->addWidget(table_);

  connect(areaCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (logic_.ChooseArea(index)) ShowList(true);
  });
  connect(stateCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (logic_.ChooseState(index)) ShowList(true);
  });
  connect(refresh, &QPushButton::clicked, this, [this] {
    bool rebuilt = logic_.Refresh();
    FillAreaCombo();
    ShowStatus();
    ShowList(rebuilt);
  });
  connect(test, &QPushButton::clicked, this, [this] { logic_.ReportDue(); });
}

void VigimonMainWindow::BuildStatusBar() {
  // The parts end at 150 and 300 pixels; the last takes the rest. The first
  // two carry the good or bad icon before their text.
  for (int part = 0; part < 3; ++part) {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    if (part < 2) {
      statusIcons_[part] = new QLabel;
      row->addWidget(statusIcons_[part]);
      box->setFixedWidth(150);
    }
    statusParts_[part] = new QLabel;
    row->addWidget(statusParts_[part], 1);
    statusBar()->addWidget(box, part == 2 ? 1 : 0);
  }
}

void VigimonMainWindow::BuildTray() {
  trayMenu_ = new QMenu(this);
  connect(trayMenu_->addAction(QStringLiteral("显示主窗口")), &QAction::triggered, this,
          &VigimonMainWindow::ShowFromTray);
  connect(trayMenu_->addAction(QStringLiteral("最小化")), &QAction::triggered, this, [this] {
    if (!isMinimized()) HideToTray();
  });
  connect(trayMenu_->addAction(QStringLiteral("退出")), &QAction::triggered, this, [this] {
    pollTimer_.stop();
    close();
  });
  tray_ = new QSystemTrayIcon(BadIcon(), this);
  tray_->setToolTip(QString::fromUtf8(VIGIMON_WINDOW_TITLE));
  tray_->setContextMenu(trayMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::DoubleClick) return;
    if (isVisible() && !isMinimized()) HideToTray();
    else ShowFromTray();
  });
}

void VigimonMainWindow::FillAreaCombo() {
  const QSignalBlocker quiet(areaCombo_);
  areaCombo_->clear();
  for (const AreaChoice& choice : listView_.areaChoices()) areaCombo_->addItem(FromGbk(choice.name), choice.id);
  areaCombo_->setCurrentIndex(listView_.areaFilter());
}

void VigimonMainWindow::ShowStatus() {
  const MonitorStatus& status = logic_.UpdateStatus();
  for (int part = 0; part < 3; ++part) statusParts_[part]->setText(FromGbk(status.texts[part]));
  statusIcons_[0]->setPixmap((status.modemGood ? GoodIcon() : BadIcon()).pixmap(16, 16));
  statusIcons_[1]->setPixmap((status.systemGood ? GoodIcon() : BadIcon()).pixmap(16, 16));
  connect_->setEnabled(logic_.CanConnect());
  disconnect_->setEnabled(logic_.CanDisconnect());
  trayGood_ = status.trayGood;
  tray_->setIcon(trayGood_ ? GoodIcon() : BadIcon());
}

void VigimonMainWindow::ShowList(bool rebuilt) {
  if (rebuilt) model_.Rebuild();
}

void VigimonMainWindow::Start() {
  logic_.StartUp();
  FillAreaCombo();
  ShowStatus();
  model_.Rebuild();
  pollTimer_.start(logic_.PollPeriodMs());
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_->show();  // only the tray icon shows at start
  } else {
    std::fputs("Vigimon: no notification area on this display; showing the window instead\n", stderr);
    show();
  }
}

void VigimonMainWindow::ShowFromTray() {
  showNormal();
  raise();
  activateWindow();
}

void VigimonMainWindow::HideToTray() {
  if (!tray_->isVisible()) return;  // without a tray the window would be lost
  hide();
}

void VigimonMainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_->isVisible())
    QTimer::singleShot(0, this, &VigimonMainWindow::HideToTray);
}

void VigimonMainWindow::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    pollTimer_.stop();
    logic_.Close();
    tray_->hide();
    // Hiding goes to the tray; closing ("退出", or the window's own close
    // button) ends the program.
    QCoreApplication::quit();
  }
  event->accept();
}

void VigimonMainWindow::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape never close the window.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}
