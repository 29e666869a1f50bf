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
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/codepage/codepage.h"
#include "quillon_version.h"

namespace {

QString FromGbk(const std::string& gbk) { return QString::fromStdString(codepage::GbkToUtf8(gbk)); }

QIcon GoodIcon() { return QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton); }
QIcon BadIcon() { return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning); }

// The program's own icon, a terminal screen with a status lamp: green when
// all is well, red otherwise (the tray shows which).
QIcon ProgramIcon(bool good) {
  QIcon icon;
  for (int size : {16, 32, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.setPen(QPen(QColor(40, 60, 90), unit));
    painter.setBrush(QColor(70, 110, 160));
    painter.drawRoundedRect(QRectF(unit, 2 * unit, 14 * unit, 9 * unit), unit, unit);
    painter.fillRect(QRectF(6 * unit, 11 * unit, 4 * unit, 2 * unit), QColor(40, 60, 90));
    painter.fillRect(QRectF(4 * unit, 13 * unit, 8 * unit, 1.5 * unit), QColor(40, 60, 90));
    painter.setPen(Qt::NoPen);
    painter.setBrush(good ? QColor(40, 190, 70) : QColor(220, 50, 40));
    painter.drawEllipse(QPointF(11.5 * unit, 6.5 * unit), 2.5 * unit, 2.5 * unit);
    icon.addPixmap(pixmap);
  }
  return icon;
}

// The arrow comes back however the reload ends.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

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
      model_(list),
      trayClicks_(std::chrono::milliseconds(QApplication::doubleClickInterval())) {
  setWindowTitle(QString::fromUtf8(VIGIMON_WINDOW_TITLE));
  setWindowIcon(ProgramIcon(true));
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
  connect(system->addAction(QStringLiteral("退出")), &QAction::triggered, this, &VigimonMainWindow::QuitAsked);
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
  // Opening the menu only shows what is known: a fresh status read saves
  // the modem's settings the first time it is seen ready, and a menu must
  // not write files.
  connect(modem, &QMenu::aboutToShow, this, [this] { Show(logic_.status()); });
  QMenu* setup = menuBar()->addMenu(QStringLiteral("设置"));
  systemSettings_ = setup->addAction(QStringLiteral("系统参数"));
  phoneNumbers_ = setup->addAction(QStringLiteral("电话号码"));
  connect(systemSettings_, &QAction::triggered, this, [this] {
    if (!dialogs_.RunSystemSettings(settings_)) return;
    pollTimer_.start(logic_.SystemSettingsConfirmed());
  });
  connect(phoneNumbers_, &QAction::triggered, this, [this] {
    if (!dialogs_.RunPhoneNumbers(settings_, areas_)) return;
    bool rebuilt = false;
    {
      BusyCursor busy;
      rebuilt = logic_.PhoneNumbersConfirmed();
    }
    FillAreaCombo();
    ShowStatus();
    ShowList(rebuilt);
  });
  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助"));
  connect(help->addAction(QStringLiteral("关于 终端故障监控...")), &QAction::triggered, this, [this] {
    QMessageBox about(QMessageBox::NoIcon, QStringLiteral("关于 终端故障监控"),
                      QStringLiteral("终端故障监控 Vigimon\n版本 ") + QString::fromLatin1(kQuillonVersion),
                      QMessageBox::NoButton, this);
    about.setIconPixmap(ProgramIcon(true).pixmap(32, 32));
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
  search_ = new QLineEdit;
  search_->setObjectName(QStringLiteral("search"));
  search_->setPlaceholderText(QStringLiteral("搜索终端名称、标识或IP"));
  search_->setClearButtonEnabled(true);
  search_->setMinimumWidth(220);
  filters->addWidget(search_);
  layout->addLayout(filters);

  table_ = new QTableView;
  table_->setModel(&model_);
  table_->setShowGrid(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // No column until the operator clicks one: the rows start in id order.
  table_->horizontalHeader()->setSortIndicatorClearable(true);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  for (int column = 0; column < TERMINAL_COLUMNS; ++column)
    table_->setColumnWidth(column, TerminalListView::ColumnWidth(column));
  layout->addWidget(table_);

  connect(areaCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (logic_.ChooseArea(index)) ShowList(true);
  });
  connect(stateCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (logic_.ChooseState(index)) ShowList(true);
  });
  connect(search_, &QLineEdit::textChanged, this,
          [this](const QString& text) { ShowList(logic_.Search(text.toStdString())); });
  connect(refresh, &QPushButton::clicked, this, [this] {
    bool rebuilt = false;
    {
      BusyCursor busy;
      rebuilt = logic_.Refresh();
    }
    FillAreaCombo();
    ShowStatus();
    ShowList(rebuilt);
  });
  connect(test, &QPushButton::clicked, this, &VigimonMainWindow::ReportDue);
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
  connect(trayMenu_->addAction(QStringLiteral("退出")), &QAction::triggered, this, [this] { QuitAsked(); });
  tray_ = new QSystemTrayIcon(ProgramIcon(false), this);
  tray_->setToolTip(QString::fromUtf8(VIGIMON_WINDOW_TITLE));
  tray_->setContextMenu(trayMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    TrayClicks::Click click = reason == QSystemTrayIcon::Trigger       ? TrayClicks::Click::Single
                              : reason == QSystemTrayIcon::DoubleClick ? TrayClicks::Click::Double
                                                                       : TrayClicks::Click::Other;
    if (!trayClicks_.Toggles(click, std::chrono::steady_clock::now())) return;
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

void VigimonMainWindow::ShowStatus() { Show(logic_.UpdateStatus()); }

void VigimonMainWindow::Show(const MonitorStatus& status) {
  for (int part = 0; part < 3; ++part) statusParts_[part]->setText(FromGbk(status.texts[part]));
  statusIcons_[0]->setPixmap((status.modemGood ? GoodIcon() : BadIcon()).pixmap(16, 16));
  statusIcons_[1]->setPixmap((status.systemGood ? GoodIcon() : BadIcon()).pixmap(16, 16));
  connect_->setEnabled(logic_.CanConnect());
  disconnect_->setEnabled(logic_.CanDisconnect());
  trayGood_ = status.trayGood;
  tray_->setIcon(ProgramIcon(trayGood_));
}

void VigimonMainWindow::ShowList(bool rebuilt) {
  if (!rebuilt) return;
  // The rows are rebuilt from scratch; the operator's place in them is not.
  std::vector<int32_t> selected;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    selected.push_back(listView_.RowId(static_cast<size_t>(index.row())));
  const int scrolled = table_->verticalScrollBar()->value();
  model_.Rebuild();
  QItemSelection again;
  for (int32_t id : selected) {
    if (auto row = listView_.RowOf(id)) {
      QModelIndex first = model_.index(static_cast<int>(*row), 0);
      again.select(first, model_.index(first.row(), TERMINAL_COLUMNS - 1));
    }
  }
  table_->selectionModel()->select(again, QItemSelectionModel::Select);
  table_->verticalScrollBar()->setValue(scrolled);
}

void VigimonMainWindow::ReportDue() {
  if (logic_.ReportDue()) {
    FillAreaCombo();
    ShowList(true);
  }
  ShowStatus();
}

void VigimonMainWindow::QuitAsked() {
  if (!logic_.ConfirmQuit()) return;
  quitConfirmed_ = true;
  close();
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
  // The title bar's close button is the operator's too.
  if (!closing_ && event->spontaneous() && !quitConfirmed_ && !logic_.ConfirmQuit()) {
    event->ignore();
    return;
  }
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
