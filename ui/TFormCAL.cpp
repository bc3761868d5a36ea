#include "ui/TFormCAL.h"

#include <sys/resource.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "core/FileError.h"
#include "report/ReportFiles.h"
#include "report/SiteWriter.h"
#include "ui/AnchorLayout.h"
#include "ui/BodyLocationFigure.h"
#include "ui/QtText.h"
#include "ui/RatioChart.h"
#include "ui/ReportListModel.h"

namespace barvik {
namespace {

constexpr QSize kDesignClient(TFormCAL::kDesignWidth, TFormCAL::kDesignHeight);
constexpr int kStatusHeight = 19;
constexpr int kPlayerHeaderHeight = 40;  // ListViewPlayer

QFont PixelFont(const QStringList& families, int pixels, bool bold = false) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// The list font, "Arial" 8 pt; Liberation Sans has the same metrics.
QFont ListFont() { return PixelFont({"Arial", "Liberation Sans"}, 11); }

// Underlines the row under the mouse pointer (the lists that show a hand pointer).
class HotTrackDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void SetHotRow(int row) { hot_row_ = row; }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() == hot_row_) option->font.setUnderline(true);
  }

 private:
  int hot_row_ = -1;
};

struct ListPlace {
  ListId id;
  const char* name;
};

QLabel* AutoLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

TFormCAL::TFormCAL(Workspace& workspace, Mode mode)
    : QWidget(nullptr), ws_(workspace), mode_(mode) {
  setObjectName("FormCAL");
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
  setFont(WindowFont());
  if (mode_ == Mode::kWindow) {
    // Idle priority: the analysis of a big log must not slow the machine down.
    setpriority(PRIO_PROCESS, 0, 19);
  }
  setWindowTitle(QStringLiteral("Barvik (build ") + ToQString(ws_.build_text) +
                 QStringLiteral(") - Call Of Duty (U.O.) Server .LOG File Analyser"));

  for (size_t i = 0; i < models_.size(); ++i) {
    models_[i] = new ReportListModel(ws_.List(static_cast<ListId>(i)), this);
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 0);
  layout->setSpacing(0);

  page_control_ = new QTabWidget(this);
  page_control_->setObjectName("PageControl");
  // The window is never narrower than the tabs: none is cut or hidden behind scroll arrows.
  page_control_->tabBar()->setUsesScrollButtons(false);
  auto* file_page = new QWidget;
  file_page->setObjectName("TabSheet14");
  page_control_->addTab(file_page, "File");
  BuildFilePage(file_page);  // inside the window already, for the tab order
  page_control_->addTab(BuildListPage("TabSheet1", ListId::Players), "Players");
  page_control_->addTab(BuildListPage("TabSheet2", ListId::Weapon), "Weapon");
  page_control_->addTab(BuildListPage("TabSheet3", ListId::Maps), "Maps");
  page_control_->addTab(BuildListPage("TabSheet12", ListId::GType), "Game Type");
  FigureId overall = FigureId::Overall;
  page_control_->addTab(BuildListPage("TabSheet10", ListId::Accuracy, &overall), "Accuracy");
  page_control_->addTab(BuildPlayerPage(), "*** Selected Player ***");
  layout->addWidget(page_control_, 1);
  layout->addSpacing(8);
  layout->addWidget(BuildStatusBar());

  label_loaded_name_ = new QLabel(this);
  label_loaded_name_->setObjectName("LabelLoadedName");
  label_loaded_name_->setTextFormat(Qt::PlainText);
  label_loaded_name_->hide();

  timer_cmd_line_ = new QTimer(this);
  timer_cmd_line_->setObjectName("TimerCmdLine");
  timer_cmd_line_->setInterval(1000);
  timer_cmd_line_->setSingleShot(true);
  connect(timer_cmd_line_, &QTimer::timeout, this, &TFormCAL::TimerCmdLineTimer);

  connect(page_control_, &QTabWidget::currentChanged, this, [this](int index) {
    if (code_switch_ || syncing_ || index < 0) return;
    Guarded([&] { ws_.TurnPage(static_cast<MainPage>(index)); });
  });
  connect(page_control_player_, &QTabWidget::currentChanged, this, [this](int index) {
    if (code_switch_ || syncing_ || index < 0) return;
    ws_.SetPlayerPage(static_cast<PlayerPage>(index));
  });

  // "Open..." is the default button: Enter presses it wherever the focus is.
  for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), this);
    connect(enter, &QShortcut::activated, button_open_, &QPushButton::click);
  }
  // Ctrl+Tab and Ctrl+Shift+Tab turn the page of PageControl wherever the focus is, as the
  // user's own page change; a list with the focus never sees them (it would toggle its row).
  auto* next_page = new QShortcut(this);
  next_page->setKey(QKeySequence(Qt::CTRL | Qt::Key_Tab));
  connect(next_page, &QShortcut::activated, this, [this] { TurnPageByKey(1); });
  auto* previous_page = new QShortcut(this);
  previous_page->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
  connect(previous_page, &QShortcut::activated, this, [this] { TurnPageByKey(-1); });

  resize(kDesignClient);
  for (size_t i = 0; i < views_.size(); ++i) ApplyColumnWidths(static_cast<ListId>(i), false);
  Sync();

  if (mode_ == Mode::kOffscreen) {
    // Laid out like a shown window, so pages and figures have their sizes, but never drawn
    // on a screen.
    setAttribute(Qt::WA_DontShowOnScreen);
    show();
  }
}

TFormCAL::~TFormCAL() {
  // The hooks point at this window; the Workspace outlives it.
  if (hooks_connected_) ws_.hooks = {};
  if (busy_depth_ > 0) QApplication::restoreOverrideCursor();
}

void TFormCAL::BuildFilePage(QWidget* page) {
  auto* anchors = new AnchorLayout(page, kDesignClient);
  check_ignore_color_ = new QCheckBox("Ignore colors");
  check_ignore_color_->setObjectName("CheckBoxNameIgnoreColor");
  anchors->Add(check_ignore_color_, {50, 11, 100, 17});
  check_ignore_case_ = new QCheckBox("Ignore case sensitive");
  check_ignore_case_->setObjectName("CheckBoxNameIgnoreCase");
  anchors->Add(check_ignore_case_, {50, 31, 126, 17});
  button_html_ = new QPushButton("Export stats to HTML");
  button_html_->setObjectName("ButtonHTML");
  anchors->Add(button_html_, {240, 10, 196, 25});
  auto* label17 = AutoLabel("html path:", page);
  label17->setObjectName("Label17");
  anchors->Add(label17, {445, 15, 0, 0});
  edit_dest_dir_ = new QLineEdit;
  edit_dest_dir_->setObjectName("EditDestDir");
  anchors->Add(edit_dest_dir_, {497, 12, 156, 21});
  auto* label62 = AutoLabel("Ratio Char minimum kills/deads", page);
  label62->setObjectName("Label62");
  // This caption is wider in the fonts at hand than the design allows: it ends two pixels
  // before its edit box and grows to the left.
  const QSize label62_size = label62->sizeHint();
  anchors->Add(label62, QRect(QPoint(std::min(49, 203 - label62_size.width()), 54), label62_size));
  edit_min_kills_ = new QLineEdit;
  edit_min_kills_->setObjectName("EditMinKills");
  anchors->Add(edit_min_kills_, {205, 50, 51, 21});
  auto* label63 = AutoLabel("Ratio Char maximum", page);
  label63->setObjectName("Label63");
  anchors->Add(label63, {269, 54, 0, 0});
  edit_max_ratio_ = new QLineEdit;
  edit_max_ratio_->setObjectName("EditMaxRatio");
  anchors->Add(edit_max_ratio_, {375, 50, 51, 21});
  auto* label1 = AutoLabel("log file:", page);
  label1->setObjectName("Label1");
  anchors->Add(label1, {10, 80, 0, 0});
  edit_file_ = new QLineEdit;
  edit_file_->setObjectName("EditFile");
  edit_file_->setReadOnly(true);
  anchors->Add(edit_file_, {50, 77, 376, 21});
  button_open_ = new QPushButton("Open...");
  button_open_->setObjectName("ButtonOpen");
  button_open_->setDefault(true);
  anchors->Add(button_open_, {435, 77, 56, 21});
  button_browser_ = new QPushButton("Open report in browser");
  button_browser_->setObjectName("ButtonBrowser");
  anchors->Add(button_browser_, {500, 77, 153, 21});
  memo_help_ = new QPlainTextEdit;
  memo_help_->setObjectName("MemoHelp");
  memo_help_->setReadOnly(true);
  memo_help_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  anchors->Add(memo_help_, {5, 110, 971, 351}, kAnchorAll);
  // The maker's address, or without one the program and its build; the label keeps its right
  // edge where the design has it and grows leftwards.
  auto* label2 = AutoLabel(ws_.maker_address.empty() ? "Barvik build " + ToQString(ws_.build_text)
                                                     : ToQString(ws_.maker_address),
                           page);
  label2->setObjectName("Label2");
  QPalette blue = label2->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  label2->setPalette(blue);
  const QSize label2_size = label2->sizeHint();
  anchors->Add(label2, QRect(QPoint(979 - label2_size.width(), 470), label2_size),
               kAnchorRight | kAnchorBottom);

  // Tab order: Open, the two options, the log path, Export, the help text, the three limits.
  QWidget* order[] = {button_open_,    check_ignore_color_, check_ignore_case_,
                      edit_file_,      button_html_,        memo_help_,
                      edit_min_kills_, edit_max_ratio_,     edit_dest_dir_};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  connect(check_ignore_color_, &QCheckBox::clicked, this,
          [this](bool on) { ws_.options().ignore_colors = on; });
  connect(check_ignore_case_, &QCheckBox::clicked, this,
          [this](bool on) { ws_.options().ignore_case = on; });
  connect(edit_dest_dir_, &QLineEdit::textEdited, this,
          [this](const QString& text) { ws_.options().dest_dir = QStringToPath(text); });
  connect(edit_min_kills_, &QLineEdit::textEdited, this,
          [this](const QString& text) { ws_.options().min_kills = To1252(text); });
  connect(edit_max_ratio_, &QLineEdit::textEdited, this,
          [this](const QString& text) { ws_.options().max_ratio = To1252(text); });
  connect(button_open_, &QPushButton::clicked, this, &TFormCAL::ButtonOpenClick);
  connect(button_html_, &QPushButton::clicked, this, &TFormCAL::ButtonHTMLClick);
  connect(button_browser_, &QPushButton::clicked, this, &TFormCAL::ButtonBrowserClick);
}

QWidget* TFormCAL::BuildListPage(const char* name, ListId list, FigureId* figure) {
  auto* page = new QWidget;
  page->setObjectName(name);
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(MakeListView(list), 1);
  if (figure) layout->addWidget(MakeFigure(*figure));
  return page;
}

QWidget* TFormCAL::BuildPlayerPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetPlayer");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  QTableView* header = MakeListView(ListId::Player);
  header->setFixedHeight(kPlayerHeaderHeight);
  // A window too narrow for the row shows a horizontal scroll bar: the list grows by its
  // height, so that the bar never covers the row.
  connect(header->horizontalScrollBar(), &QScrollBar::rangeChanged, header, [header](int, int max) {
    const int bar = max > 0 ? header->horizontalScrollBar()->sizeHint().height() : 0;
    header->setFixedHeight(kPlayerHeaderHeight + bar);
  });
  layout->addWidget(header);

  page_control_player_ = new QTabWidget;
  page_control_player_->setObjectName("PageControlPlayer");
  page_control_player_->tabBar()->setUsesScrollButtons(false);
  layout->addWidget(page_control_player_, 1);

  // Weapon usage: the weapon list over the weapon's body locations, and the weapon figure.
  auto* weapon_page = new QWidget;
  weapon_page->setObjectName("TabSheet4");
  auto* weapon_layout = new QHBoxLayout(weapon_page);
  weapon_layout->setContentsMargins(0, 0, 0, 0);
  weapon_layout->setSpacing(0);
  auto* panel = new QWidget;
  panel->setObjectName("PanelWeaponUsAcc");
  auto* panel_layout = new QVBoxLayout(panel);
  panel_layout->setContentsMargins(0, 0, 0, 0);
  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->setObjectName("SplitterWeapon");
  splitter->setHandleWidth(3);
  splitter->setOpaqueResize(true);
  splitter->setChildrenCollapsible(false);
  splitter->addWidget(MakeListView(ListId::PlayerWeapon));
  splitter->addWidget(MakeListView(ListId::WeaponAccuracy));
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 0);
  splitter->setSizes({1000, 66});
  panel_layout->addWidget(splitter);
  weapon_layout->addWidget(panel, 1);
  weapon_layout->addWidget(MakeFigure(FigureId::WeaponAccuracy));
  page_control_player_->addTab(weapon_page, "Weapon Usage and Accuracy");

  FigureId glob = FigureId::GlobAccuracy;
  page_control_player_->addTab(
      BuildListPage("TabSheetPOverallAccuracy", ListId::PlayerGlobAccuracy, &glob),
      "Overall Accuracy");
  FigureId enemy = FigureId::GlobEnemyAccuracy;
  page_control_player_->addTab(BuildListPage("TabSheet7", ListId::PlayerGlobEnemyAccuracy, &enemy),
                               "Overall Enemy Accuracy Against Player");
  page_control_player_->addTab(BuildListPage("TabSheet5", ListId::PlayerMaps), "Maps");
  page_control_player_->addTab(BuildListPage("TabSheet13", ListId::PlayerGameType), "Game Type");
  page_control_player_->addTab(BuildListPage("TabSheet8", ListId::PlayerVictims), "Opponents");

  auto* chart_page = new QWidget;
  chart_page->setObjectName("TabSheet11");
  auto* anchors = new AnchorLayout(chart_page, kDesignClient);
  anchors->Add(MakeListView(ListId::PlayerTurnsRatio), {0, 0, 241, 363},
               kAnchorLeft | kAnchorTop | kAnchorBottom);
  chart_ = new RatioChart;
  anchors->Add(chart_, {245, 4, 691, 357}, kAnchorAll);
  page_control_player_->addTab(chart_page, "Ratio Chart");
  return page;
}

QTableView* TFormCAL::MakeListView(ListId id) {
  auto* view = new QTableView;
  const size_t i = static_cast<size_t>(id);
  view->setObjectName(ToQString(ws_.List(id).name));
  view->setModel(models_[i]);
  view->setFont(ListFont());
  view->setShowGrid(true);
  view->setWordWrap(false);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab and Shift+Tab go to the next or previous control, not to another cell or row.
  view->setTabKeyNavigation(false);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(id == ListId::Player ? QAbstractItemView::SelectItems
                                                  : QAbstractItemView::SelectRows);
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->verticalHeader()->hide();
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(QFontMetrics(ListFont()).height() + 3);
  QHeaderView* header = view->horizontalHeader();
  header->setFont(ListFont());
  header->setHighlightSections(false);
  header->setTextElideMode(Qt::ElideRight);
  header->setSortIndicatorShown(false);
  header->setStretchLastSection(false);
  header->setSectionsClickable(id != ListId::Player);
  header->setFixedHeight(QFontMetrics(ListFont()).height() + 6);
  // The selection stays visible when the list loses the focus.
  QPalette palette = view->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  view->setPalette(palette);
  if (id == ListId::Player) {
    QFont bold = ListFont();
    bold.setBold(true);
    view->setFont(bold);
    QPalette blue = view->palette();
    blue.setColor(QPalette::Text, QColor(0, 0, 255));
    view->setPalette(blue);
  }
  if (id == ListId::Players || id == ListId::PlayerWeapon) {
    auto* delegate = new HotTrackDelegate(view);
    view->setItemDelegate(delegate);
    view->setMouseTracking(true);
    view->viewport()->setCursor(Qt::PointingHandCursor);
    connect(view, &QAbstractItemView::entered, view, [view, delegate](const QModelIndex& index) {
      delegate->SetHotRow(index.row());
      view->viewport()->update();
    });
    view->viewport()->installEventFilter(this);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, id] { SelectionChanged(id); });
  }
  if (id != ListId::Player) {
    connect(header, &QHeaderView::sectionClicked, this,
            [this, id](int column) { HeaderClicked(id, column); });
  }
  views_[i] = view;
  return view;
}

BodyLocationFigure* TFormCAL::MakeFigure(FigureId id) {
  auto* figure = new BodyLocationFigure(id);
  connect(figure, &BodyLocationFigure::ChoiceClicked, this,
          [this, id](int choice) { Guarded([&] { ws_.FigureRadioClick(id, choice); }); });
  figures_[static_cast<size_t>(id)] = figure;
  return figure;
}

QWidget* TFormCAL::BuildStatusBar() {
  status_bar_ = new QWidget;
  status_bar_->setObjectName("StatusBar");
  status_bar_->setFixedHeight(kStatusHeight);
  auto* layout = new QHBoxLayout(status_bar_);
  layout->setContentsMargins(0, 1, 0, 0);
  layout->setSpacing(2);
  const int widths[kPanelCount] = {50, 5, 80, 200, 50};
  for (int i = 0; i < kPanelCount; ++i) {
    auto* panel = new QLabel;
    panel->setObjectName(QString("StatusBarPanel%1").arg(i));
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignVCenter |
                        (i == kPanelProgress ? Qt::AlignHCenter : Qt::AlignLeft));
    // The last panel, the log's path, takes the rest of the bar.
    if (i == kPanelCount - 1) {
      panel->setMinimumWidth(widths[i]);
      panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      layout->addWidget(panel, 1);
    } else {
      panel->setFixedWidth(widths[i]);
      layout->addWidget(panel);
    }
    status_panels_[static_cast<size_t>(i)] = panel;
  }
  return status_bar_;
}

void TFormCAL::ConnectHooks() {
  hooks_connected_ = true;
  ws_.hooks.status_changed = [this] {
    SyncStatus();
    status_bar_->repaint();
  };
  ws_.hooks.busy = [this](bool on) { Busy(on); };
  ws_.hooks.line_error = [this](const std::string& message) {
    ShowMessage(QMessageBox::Critical, "Error", ToQString(message));
  };
  ws_.hooks.lists_changed = [this] {
    if (!sorting_) Sync();
  };
  // A long read shows its progress in panel 2 until the next status text rewrites it.
  ws_.hooks.reading = [this](uint64_t done, uint64_t total) {
    status_panels_[kPanelProgress]->setText(
        QString("Reading %1%").arg(total > 0 ? done * 100 / total : 100));
    status_bar_->repaint();
  };
}

void TFormCAL::Busy(bool on) {
  if (on) {
    if (busy_depth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busy_depth_ > 0) {
    if (--busy_depth_ == 0) QApplication::restoreOverrideCursor();
  }
}

void TFormCAL::Sync() {
  const bool was_syncing = syncing_;
  syncing_ = true;
  for (size_t i = 0; i < models_.size(); ++i) {
    if (exporting_ && i < static_cast<size_t>(ListId::Player)) continue;  // the global lists
    if (models_[i]->Refresh()) ApplyColumnWidths(static_cast<ListId>(i), true);
  }
  ApplySelection(ListId::Players);
  ApplySelection(ListId::PlayerWeapon);
  SetPagesFromCode(static_cast<int>(ws_.page()), static_cast<int>(ws_.player_page()));

  const FileOptions& o = ws_.options();
  check_ignore_color_->setChecked(o.ignore_colors);
  check_ignore_case_->setChecked(o.ignore_case);
  const QString dest = PathToQString(o.dest_dir);
  if (edit_dest_dir_->text() != dest) edit_dest_dir_->setText(dest);
  const QString min_kills = ToQString(o.min_kills);
  if (edit_min_kills_->text() != min_kills) edit_min_kills_->setText(min_kills);
  const QString max_ratio = ToQString(o.max_ratio);
  if (edit_max_ratio_->text() != max_ratio) edit_max_ratio_->setText(max_ratio);
  edit_file_->setText(PathToQString(o.file));
  button_html_->setEnabled(ws_.html_enabled());
  button_browser_->setEnabled(QFileInfo::exists(SiteHomePath()));
  label_loaded_name_->setText(ToQString(ws_.LabelLoadedName()));
  SyncStatus();
  SyncPictures();
  syncing_ = was_syncing;
}

void TFormCAL::SyncPictures() {
  for (size_t i = 0; i < figures_.size(); ++i)
    figures_[i]->Render(ws_.figure(static_cast<FigureId>(i)));
  chart_->Show(ws_.chart());
}

void TFormCAL::SyncStatus() {
  for (int i = 0; i < kPanelCount; ++i) {
    const std::string& text = ws_.status(i);
    status_panels_[static_cast<size_t>(i)]->setText(i == kPanelFile ? PathToQString(text)
                                                                    : ToQString(text));
  }
  // The file panel may say more than it has room for (a notice, a long path).
  status_panels_[kPanelFile]->setToolTip(status_panels_[kPanelFile]->text());
}

void TFormCAL::ApplyColumnWidths(ListId id, bool only_auto) {
  QTableView* view = views_[static_cast<size_t>(id)];
  const ReportList& list = ws_.List(id);
  for (size_t c = 0; c < list.columns.size(); ++c) {
    const int column = static_cast<int>(c);
    const int width = list.columns[c].width;
    if (width == kAutoWidth) {
      view->resizeColumnToContents(column);
      // The header list's "Name" column is at least 120 wide.
      if (id == ListId::Player && c == 0 && view->columnWidth(0) < 120) {
        view->setColumnWidth(0, 120);
      }
    } else if (!only_auto) {
      // Never narrower than its caption: a clipped "I.Damages" would read "Damages".
      const QHeaderView* header = view->horizontalHeader();
      const int caption =
          QFontMetrics(header->font()).horizontalAdvance(ToQString(list.columns[c].caption)) +
          2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin) + 4;
      view->setColumnWidth(column, std::max(width, caption));
    }
  }
}

void TFormCAL::ApplySelection(ListId id) {
  QTableView* view = views_[static_cast<size_t>(id)];
  const int wanted = ws_.List(id).selected;
  const QModelIndexList rows = view->selectionModel()->selectedRows();
  const int current = rows.isEmpty() ? -1 : rows.front().row();
  if (current == wanted) return;
  const bool was_syncing = syncing_;
  syncing_ = true;
  if (wanted < 0) {
    view->selectionModel()->clear();
  } else {
    const QModelIndex index = models_[static_cast<size_t>(id)]->index(wanted, 0);
    view->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  syncing_ = was_syncing;
}

void TFormCAL::SelectionChanged(ListId id) {
  if (syncing_) return;
  const QModelIndexList rows = views_[static_cast<size_t>(id)]->selectionModel()->selectedRows();
  const int row = rows.isEmpty() ? -1 : rows.front().row();
  Guarded([&] {
    if (id == ListId::Players) {
      ws_.SelectPlayerRow(row);
    } else {
      ws_.SelectPlayerWeaponRow(row);
    }
  });
}

void TFormCAL::HeaderClicked(ListId id, int column) {
  ReportListModel* model = models_[static_cast<size_t>(id)];
  sorting_ = true;
  Guarded([&] { model->Sort([&] { ws_.ColumnClick(id, column); }); });
  sorting_ = false;
  Sync();
}

void TFormCAL::SetPagesFromCode(int page, int player_page) {
  const bool was = code_switch_;
  code_switch_ = true;
  if (page_control_->currentIndex() != page) page_control_->setCurrentIndex(page);
  if (page_control_player_->currentIndex() != player_page) {
    page_control_player_->setCurrentIndex(player_page);
  }
  code_switch_ = was;
}

bool TFormCAL::Guarded(const std::function<void()>& operation) {
  bool ok = true;
  try {
    operation();
  } catch (const std::exception& e) {
    ok = false;
    // The hourglass goes, whatever the failed action left.
    while (busy_depth_ > 0) Busy(false);
    ShowError(e);
  }
  Sync();
  return ok;
}

void TFormCAL::ShowError(const std::exception& e) {
  // Error texts carry file paths, which are in the file system's encoding.
  ShowMessage(QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
              PathToQString(e.what()));
}

void TFormCAL::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
  if (message_sink_) {
    message_sink_(icon, title, text);
    return;
  }
  QMessageBox box(icon, title, text, QMessageBox::Ok, isVisible() ? this : nullptr);
  box.exec();
}

QFileDialog* TFormCAL::MakeOpenDialog() {
  auto* dialog = new QFileDialog(this, "Open");
  dialog->setObjectName("OpenDialog");
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);  // a typed name of a missing file is refused
  // Rotated (games_mp.log.1) and compressed (.gz) logs are logs too.
  dialog->setNameFilters({"Server logs (*.log *.log.* *.gz)", "All files (*)"});
  dialog->selectNameFilter("Server logs (*.log *.log.* *.gz)");
  dialog->setDefaultSuffix("log");
  return dialog;
}

void TFormCAL::ButtonOpenClick() {
  QFileDialog* dialog = MakeOpenDialog();
  const bool confirmed = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
  const QString file = confirmed ? dialog->selectedFiles().front() : QString();
  delete dialog;
  if (confirmed) OpenLog(QStringToPath(file));
}

void TFormCAL::OpenLog(const std::string& path) {
  bool found = true;
  if (Guarded([&] { found = ws_.RunAnalysis(path); }) && !found) {
    // Said, not passed over: the dialog refuses a missing file, but one can vanish meanwhile.
    ShowError(FileError::CannotOpen(path));
  }
}

void TFormCAL::TurnPageByKey(int step) {
  const int count = page_control_->count();
  page_control_->setCurrentIndex((page_control_->currentIndex() + step + count) % count);
}

void TFormCAL::ButtonHTMLClick() {
  RunExport();
  button_browser_->setEnabled(QFileInfo::exists(SiteHomePath()));
}

bool TFormCAL::RunExport() {
  // Loading one player after another changes only the player lists; the global lists keep
  // their rows, so their models are not checked for changes after every player (that check
  // reads the whole list, and an export's cost would grow with the square of its players).
  exporting_ = true;
  const bool ok = Guarded([&] {
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{exporting_};
    if (!images_) images_ = std::make_unique<OffscreenImageSource>(ws_);
    images_->SetSizes(CurrentPictureSizes());
    ws_.ButtonHTMLClick(*images_);
  });
  return ok;
}

QString TFormCAL::SiteHomePath() const {
  const std::string folder = OutputFolderPrefix(ws_.options().dest_dir);
  return QFileInfo(PathToQString(folder + std::string(kSiteFolder) + "index.html"))
      .absoluteFilePath();
}

void TFormCAL::ButtonBrowserClick() {
  const QString home = SiteHomePath();
  const QUrl url = QUrl::fromLocalFile(home);
  const bool opened =
      QFileInfo::exists(home) && (url_opener_ ? url_opener_(url) : QDesktopServices::openUrl(url));
  if (!opened) {
    ShowMessage(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                "Cannot open the report in a browser: " + home);
  }
}

QPoint TFormCAL::CentredTopLeft(QSize screen, QSize window) {
  QPoint top_left(screen.width() / 2 - window.width() / 2,
                  screen.height() / 2 - window.height() / 2);
  if (screen.width() < window.width()) top_left.setX(screen.width() - window.width());
  return top_left;
}

void TFormCAL::FormShow() {
  if (QScreen* s = screen()) move(CentredTopLeft(s->geometry().size(), frameGeometry().size()));
  // One argument: a log to load into the window, as "Open with" from a file manager gives it;
  // loaded once the window is on the screen, so its progress shows.
  if (args_.size() == 1) timer_cmd_line_->start();
  // Batch mode: exactly two arguments, the log and the report folder.
  if (args_.size() == 2) {
    ws_.options().dest_dir = args_[1];
    exit_status_ = 1;  // until the report is written completely
    Sync();
    setEnabled(false);
    timer_cmd_line_->start();
  }
}

void TFormCAL::TimerCmdLineTimer() {
  timer_cmd_line_->stop();
  setEnabled(true);
  if (args_.size() == 1) {
    OpenLog(args_[0]);
    return;
  }
  bool found = false;
  if (!Guarded([&] { found = ws_.RunAnalysis(args_[0]); })) return;  // the window stays open
  if (!found) {
    // No report from a log that is not there: say so and end with a failure status.
    ShowError(FileError::CannotOpen(args_[0]));
    exit_status_ = 2;
    close();
    return;
  }
  if (!RunExport()) return;  // shown; the window stays open
  exit_status_ = 0;
  close();
}

void TFormCAL::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (mode_ == Mode::kWindow && !shown_once_) {
    shown_once_ = true;
    FormShow();
  }
}

void TFormCAL::closeEvent(QCloseEvent* event) {
  timer_cmd_line_->stop();
  QWidget::closeEvent(event);
}

bool TFormCAL::eventFilter(QObject* watched, QEvent* event) {
  QTableView* players = views_[static_cast<size_t>(ListId::Players)];
  if (event->type() == QEvent::Leave) {
    for (ListId id : {ListId::Players, ListId::PlayerWeapon}) {
      QTableView* view = views_[static_cast<size_t>(id)];
      if (view && watched == view->viewport()) {
        static_cast<HotTrackDelegate*>(view->itemDelegate())->SetHotRow(-1);
        view->viewport()->update();
      }
    }
  }
  if (players && watched == players->viewport() && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Guarded([&] { ws_.ListViewPlayersDblClick(); });
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

PictureSizes TFormCAL::CurrentPictureSizes() {
  const int old_page = page_control_->currentIndex();
  const int old_player_page = page_control_player_->currentIndex();
  // Lays out the page `page` (and the player page `player_page`) and gives `widget`'s size.
  auto size_on = [this](MainPage page, PlayerPage player_page, QWidget* widget) {
    SetPagesFromCode(static_cast<int>(page), static_cast<int>(player_page));
    QCoreApplication::sendPostedEvents();
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
      if (w->layout()) w->layout()->activate();
    }
    return widget->size();
  };
  const PlayerPage player = static_cast<PlayerPage>(old_player_page);
  auto figure = [this](FigureId id) { return figures_[static_cast<size_t>(id)]; };
  PictureSizes sizes;
  sizes.figure_heights = {
      size_on(MainPage::Accuracy, player, figure(FigureId::Overall)).height(),
      size_on(MainPage::SelectedPlayer, PlayerPage::OverallAccuracy, figure(FigureId::GlobAccuracy))
          .height(),
      size_on(MainPage::SelectedPlayer, PlayerPage::EnemyAccuracy,
              figure(FigureId::GlobEnemyAccuracy))
          .height()};
  sizes.chart = size_on(MainPage::SelectedPlayer, PlayerPage::RatioChart, chart_);
  SetPagesFromCode(old_page, old_player_page);
  return sizes;
}

}  // namespace barvik
