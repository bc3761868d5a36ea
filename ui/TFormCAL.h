// TFormCAL: the program's one window (instance FormCAL). It renders the Workspace's state and
// forwards user events to the Workspace's operations; it computes nothing itself. The pages,
// lists, figures, chart, "File" page controls and status bar carry the names the rest of the
// program uses (as objectName).
//
// The report images of its exports come from an OffscreenImageSource over the same
// Workspace, told the sizes this window gives the pictures' widgets. In Offscreen mode the
// window is laid out but never appears on a screen (tests).
//
// The Workspace must outlive the window. Every operation that fails with an exception is
// reported in a message box and the window stays usable.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMessageBox>
#include <QUrl>
#include <QWidget>

#include "app/Workspace.h"
#include "ui/OffscreenImageSource.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;

namespace barvik {

class BodyLocationFigure;
class RatioChart;
class ReportListModel;

class TFormCAL : public QWidget {
  Q_OBJECT

 public:
  // Client size at which every control has its design position and size.
  static constexpr int kDesignWidth = 989;
  static constexpr int kDesignHeight = 542;

  enum class Mode {
    kWindow,     // the user's window: start-up, placement and batch check when shown
    kOffscreen,  // laid out but never on screen: a renderer only
  };

  explicit TFormCAL(Workspace& workspace, Mode mode = Mode::kWindow);
  ~TFormCAL() override;
  TFormCAL(const TFormCAL&) = delete;
  TFormCAL& operator=(const TFormCAL&) = delete;

  // Lets the engine's hooks drive the window: status repaints, hourglass, per-line error
  // boxes, list refreshes. Not for a renderer that serves another front end's Workspace.
  void ConnectHooks();

  // Brings every control up to date with the Workspace.
  void Sync();

  // The sizes this window gives the pictures' widgets now. The pages that hold them are
  // made current in turn to be laid out, then the pages shown before come back.
  PictureSizes CurrentPictureSizes();

  // --- Handlers --------------------------------------------------------------------------
  void ButtonOpenClick();
  // Runs the analysis of `path` (as a confirmed open dialog does).
  void OpenLog(const std::string& path);
  void ButtonHTMLClick();
  // The export as the window runs it (button and batch): true when it succeeded.
  bool RunExport();
  // "Open report in browser": the site's home page of the report folder, with the desktop's
  // browser; enabled while that page exists.
  void ButtonBrowserClick();
  // The home page of the site in the report folder of the "File" page.
  QString SiteHomePath() const;
  // Placement on the screen, then the batch-mode check; runs when the window is first shown.
  void FormShow();
  void TimerCmdLineTimer();

  // The command-line arguments, program path excluded: one is a log loaded into the window
  // once it shows; exactly two start batch mode.
  void SetCommandLine(std::vector<std::string> args) { args_ = std::move(args); }
  // The process exit status once the window has closed: 0, unless a batch run did not
  // write its report completely.
  int exit_status() const { return exit_status_; }

  // Top-left corner of a window of `window` size centred on a screen of `screen` size;
  // a window wider than the screen keeps its right edge on the screen's right edge.
  static QPoint CentredTopLeft(QSize screen, QSize window);

  // The open dialog as ButtonOpenClick shows it.
  QFileDialog* MakeOpenDialog();

  // Where message boxes go; tests answer them here. The default shows a modal box.
  using MessageSink =
      std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;
  void SetMessageSink(MessageSink sink) { message_sink_ = std::move(sink); }
  // Opens an address with the desktop's browser; tests watch it here. The default asks the
  // desktop (QDesktopServices).
  using UrlOpener = std::function<bool(const QUrl& url)>;
  void SetUrlOpener(UrlOpener opener) { url_opener_ = std::move(opener); }

  Workspace& workspace() { return ws_; }
  QTableView* ListView(ListId id) const { return views_[static_cast<size_t>(id)]; }
  ReportListModel* Model(ListId id) const { return models_[static_cast<size_t>(id)]; }
  BodyLocationFigure* Figure(FigureId id) const { return figures_[static_cast<size_t>(id)]; }
  RatioChart* Chart() const { return chart_; }
  QLabel* StatusPanel(int panel) const { return status_panels_[static_cast<size_t>(panel)]; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildFilePage(QWidget* page);
  QWidget* BuildListPage(const char* name, ListId list, FigureId* figure = nullptr);
  QWidget* BuildPlayerPage();
  QTableView* MakeListView(ListId id);
  BodyLocationFigure* MakeFigure(FigureId id);
  QWidget* BuildStatusBar();

  // Runs an engine operation; an exception becomes a message box. Returns false on one.
  bool Guarded(const std::function<void()>& operation);
  void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
  void ShowError(const std::exception& e);

  void HeaderClicked(ListId id, int column);
  void SelectionChanged(ListId id);
  void ApplySelection(ListId id);
  void ApplyColumnWidths(ListId id, bool only_auto);
  void SetPagesFromCode(int page, int player_page);
  // Ctrl+Tab (+1) and Ctrl+Shift+Tab (-1): the next or previous page, round the end.
  void TurnPageByKey(int step);
  void SyncStatus();
  void SyncPictures();  // the figures and the chart
  void Busy(bool on);

  Workspace& ws_;
  Mode mode_;
  std::array<ReportListModel*, static_cast<size_t>(ListId::kCount)> models_{};
  std::array<QTableView*, static_cast<size_t>(ListId::kCount)> views_{};
  std::array<BodyLocationFigure*, 4> figures_{};
  RatioChart* chart_ = nullptr;
  std::unique_ptr<OffscreenImageSource> images_;  // the exports' renderer, once needed
  QTabWidget* page_control_ = nullptr;
  QTabWidget* page_control_player_ = nullptr;
  QCheckBox* check_ignore_color_ = nullptr;
  QCheckBox* check_ignore_case_ = nullptr;
  QPushButton* button_html_ = nullptr;
  QPushButton* button_browser_ = nullptr;
  QPushButton* button_open_ = nullptr;
  QLineEdit* edit_dest_dir_ = nullptr;
  QLineEdit* edit_min_kills_ = nullptr;
  QLineEdit* edit_max_ratio_ = nullptr;
  QLineEdit* edit_file_ = nullptr;
  QPlainTextEdit* memo_help_ = nullptr;
  QLabel* label_loaded_name_ = nullptr;
  QWidget* status_bar_ = nullptr;
  std::array<QLabel*, kPanelCount> status_panels_{};
  QTimer* timer_cmd_line_ = nullptr;

  MessageSink message_sink_;
  UrlOpener url_opener_;
  std::vector<std::string> args_;
  int exit_status_ = 0;
  int busy_depth_ = 0;
  bool hooks_connected_ = false;  // ConnectHooks() ran: the destructor clears the hooks
  bool shown_once_ = false;
  bool syncing_ = false;      // the window itself changes selections and pages
  bool sorting_ = false;      // a header click is re-ordering a model
  bool exporting_ = false;    // an export runs: only the player lists change
  bool code_switch_ = false;  // pages switched from code: no page-change handling
};

}  // namespace barvik
