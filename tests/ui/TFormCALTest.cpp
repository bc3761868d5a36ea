#include "ui/TFormCAL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include <QAbstractItemModelTester>
#include <QChart>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/BodyLocationFigure.h"
#include "ui/OffscreenImageSource.h"
#include "ui/QtText.h"
#include "ui/RatioChart.h"
#include "ui/ReportListModel.h"

namespace barvik {
namespace {

// A rendered picture as 3-byte RGB pixels, whatever layout the renderer handed over.
RgbImage PackedRgb(const RgbImage& image) {
  if (image.layout == PixelLayout::Rgb) return image;
  const QImage rgb = QImage(image.pixels.data(), image.width, image.height,
                            static_cast<qsizetype>(image.stride), QImage::Format_RGB32)
                         .convertToFormat(QImage::Format_RGB888);
  RgbImage out;
  out.width = rgb.width();
  out.height = rgb.height();
  out.stride = static_cast<size_t>(rgb.bytesPerLine());
  out.pixels.assign(rgb.constBits(), rgb.constBits() + rgb.sizeInBytes());
  return out;
}

class TFormCALTest : public ::testing::Test {
 protected:
  TFormCALTest() : form_(ws_) {
    form_.ConnectHooks();
    form_.SetMessageSink([this](QMessageBox::Icon, const QString& title, const QString& text) {
      messages_.push_back(title + ": " + text);
    });
    for (size_t i = 0; i < static_cast<size_t>(ListId::kCount); ++i) {
      testers_.push_back(std::make_unique<QAbstractItemModelTester>(
          form_.Model(static_cast<ListId>(i)),
          QAbstractItemModelTester::FailureReportingMode::Fatal));
    }
  }

  void Open() { form_.OpenLog(files_.Write("small.log", test::kSmallLog)); }
  template <class T>
  T* Child(const char* name) {
    T* child = form_.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Cell(ListId id, int row, int column) {
    return form_.Model(id)->index(row, column).data().toString();
  }
  void ClickHeader(ListId id, int column) {
    QHeaderView* header = form_.ListView(id)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, 5));
  }
  void SelectRow(ListId id, int row) {
    QTableView* view = form_.ListView(id);
    view->selectionModel()->select(form_.Model(id)->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  int RowOf(ListId id, const std::string& caption) {
    const auto& rows = ws_.List(id).rows;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].caption == caption) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no row " << caption;
    return -1;
  }
  int SelectedRow(ListId id) {
    auto rows = form_.ListView(id)->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
  }

  test::TempFolder files_;
  Workspace ws_;
  TFormCAL form_;
  std::vector<std::unique_ptr<QAbstractItemModelTester>> testers_;
  QStringList messages_;
};

TEST_F(TFormCALTest, FirstState) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  EXPECT_EQ(form_.objectName(), "FormCAL");
  EXPECT_EQ(form_.windowTitle(),
            "Barvik (build N/A) - Call Of Duty (U.O.) Server .LOG File Analyser");
  EXPECT_TRUE(form_.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form_.size(), QSize(TFormCAL::kDesignWidth, TFormCAL::kDesignHeight));
  auto* pages = Child<QTabWidget>("PageControl");
  ASSERT_EQ(pages->count(), 7);
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(pages->tabText(0), "File");
  EXPECT_EQ(pages->tabText(6), "*** Selected Player ***");
  EXPECT_EQ(pages->geometry(), QRect(1, 1, 987, 514));
  auto* player_pages = Child<QTabWidget>("PageControlPlayer");
  ASSERT_EQ(player_pages->count(), 7);
  EXPECT_EQ(player_pages->tabText(2), "Overall Enemy Accuracy Against Player");

  EXPECT_TRUE(Child<QCheckBox>("CheckBoxNameIgnoreColor")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>("CheckBoxNameIgnoreCase")->isChecked());
  EXPECT_FALSE(Child<QPushButton>("ButtonHTML")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>("ButtonOpen")->isDefault());
  EXPECT_EQ(Child<QLineEdit>("EditMinKills")->text(), "10");
  EXPECT_EQ(Child<QLineEdit>("EditMaxRatio")->text(), "5");
  auto* edit_file = Child<QLineEdit>("EditFile");
  EXPECT_TRUE(edit_file->isReadOnly());
  EXPECT_EQ(edit_file->text(), "Click \"Open...\" button to open LOG file.");
  EXPECT_EQ(edit_file->geometry(), QRect(50, 77, 376, 21));
  EXPECT_EQ(Child<QWidget>("MemoHelp")->geometry(), QRect(5, 110, 971, 351));
  // Tab order starts at "Open..." and runs through the options to the report folder.
  auto next_tab_stop = [](QWidget* w) {
    do {
      w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus));
    return w->objectName();
  };
  EXPECT_EQ(next_tab_stop(Child<QWidget>("ButtonOpen")), "CheckBoxNameIgnoreColor");
  EXPECT_EQ(next_tab_stop(Child<QWidget>("EditFile")), "ButtonHTML");
  EXPECT_EQ(next_tab_stop(Child<QWidget>("EditMaxRatio")), "EditDestDir");

  EXPECT_EQ(Cell(ListId::Player, 0, 0), "Select player first");
  EXPECT_EQ(form_.ListView(ListId::Players)->objectName(), "ListViewPlayers");
  EXPECT_EQ(form_.Figure(FigureId::Overall)->TitleLabel()->text(), "All players shot accuracy");
  EXPECT_TRUE(form_.Figure(FigureId::GlobEnemyAccuracy)->ChoiceButton(0)->isChecked());
  EXPECT_EQ(form_.StatusPanel(kPanelActivity)->width(), 200);

  QFileDialog* dialog = form_.MakeOpenDialog();
  EXPECT_EQ(dialog->nameFilters(),
            QStringList({"Server logs (*.log *.log.* *.gz)", "All files (*)"}));
  EXPECT_EQ(dialog->defaultSuffix(), "log");
  delete dialog;
}

TEST_F(TFormCALTest, PicturesTakeTheWindowsSizes) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  // The renderer's own sizes are those of the window at its design size.
  EXPECT_EQ(form_.CurrentPictureSizes(), PictureSizes{});
  EXPECT_EQ(Child<QTabWidget>("PageControl")->currentIndex(), 0);
  OffscreenImageSource images(ws_);
  RgbImage chart = images.Render(ReportImage::RatioChart);
  EXPECT_EQ(chart.width, 691);
  EXPECT_EQ(chart.height, 357);
  EXPECT_GE(chart.stride, static_cast<size_t>(chart.width) * 3);
  EXPECT_EQ(chart.pixels.size(), chart.stride * static_cast<size_t>(chart.height));
  // Only the chart grows with the window.
  form_.resize(form_.width() + 100, form_.height() + 40);
  QCoreApplication::processEvents();
  images.SetSizes(form_.CurrentPictureSizes());
  EXPECT_EQ(images.Render(ReportImage::RatioChart).width, 791);
  RgbImage figure = images.Render(ReportImage::Accuracy);
  EXPECT_EQ(figure.width, 233);
  EXPECT_EQ(figure.height, 355);
}

TEST_F(TFormCALTest, AnalysisRunFillsTheListsAndShowsThePlayersPage) {
  Open();
  EXPECT_EQ(Child<QTabWidget>("PageControl")->currentIndex(), 1);
  EXPECT_TRUE(Child<QPushButton>("ButtonHTML")->isEnabled());
  EXPECT_EQ(form_.StatusPanel(kPanelActivity)->text(), "Done");
  EXPECT_EQ(Cell(ListId::Players, 0, 0), "   A  L  L");
  EXPECT_EQ(Cell(ListId::Players, 1, 0), "alice");
  EXPECT_EQ(Cell(ListId::Players, 1, 1), "3");
  EXPECT_EQ(form_.Figure(FigureId::Overall)->ValueLabel(1)->text(), "  3");  // head
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

TEST_F(TFormCALTest, HeaderClicksSortAndKeepTheSelection) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  Open();
  SelectRow(ListId::Players, 2);  // bob
  ASSERT_EQ(ws_.List(ListId::Players).selected, 2);

  // The analysis run sorted by "Kills" descending; a click makes it ascending.
  ClickHeader(ListId::Players, 1);
  EXPECT_EQ(Cell(ListId::Players, 0, 0), "carl");
  EXPECT_EQ(Cell(ListId::Players, 3, 0), "   A  L  L");
  EXPECT_EQ(SelectedRow(ListId::Players), 1);
  EXPECT_EQ(Cell(ListId::Players, 1, 0), "bob");
  ClickHeader(ListId::Players, 1);
  EXPECT_EQ(Cell(ListId::Players, 0, 0), "   A  L  L");
  // The name column sorts as text: first click Z to A.
  ClickHeader(ListId::Players, 0);
  EXPECT_EQ(Cell(ListId::Players, 0, 0), "carl");
  EXPECT_EQ(Cell(ListId::Player, 0, 0), "bob");
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

TEST_F(TFormCALTest, HeaderRowMirrorsTheSelection) {
  Open();
  SelectRow(ListId::Players, 1);
  EXPECT_EQ(Cell(ListId::Player, 0, 0), "alice");
  EXPECT_EQ(Cell(ListId::Player, 0, 1), "3");
  SelectRow(ListId::Players, 0);  // the total row
  EXPECT_EQ(Cell(ListId::Player, 0, 0), "Select player first");
  SelectRow(ListId::Players, 2);
  EXPECT_EQ(Cell(ListId::Player, 0, 0), "bob");
  form_.ListView(ListId::Players)->selectionModel()->clearSelection();
  EXPECT_EQ(Cell(ListId::Player, 0, 0), "Select player first");
  EXPECT_EQ(ws_.List(ListId::Players).selected, -1);
}

TEST_F(TFormCALTest, PlayerLoadsOnUserPageChangeAndDoubleClickOnly) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  Open();
  SelectRow(ListId::Players, 1);
  // Pages switched from code (the pictures' sizes) load nobody.
  form_.CurrentPictureSizes();
  EXPECT_EQ(ws_.LabelLoadedName(), "");
  EXPECT_EQ(Child<QTabWidget>("PageControl")->currentIndex(), 1);

  // The user turns to the player page.
  auto* pages = Child<QTabWidget>("PageControl");
  pages->setCurrentIndex(6);
  EXPECT_EQ(ws_.LabelLoadedName(), "alice");
  EXPECT_EQ(Child<QLabel>("LabelLoadedName")->text(), "alice");
  EXPECT_EQ(Cell(ListId::PlayerWeapon, 1, 0), "mp40_mp");

  // A double click on another row loads him and shows the player page.
  pages->setCurrentIndex(1);
  SelectRow(ListId::Players, 2);
  QTableView* players = form_.ListView(ListId::Players);
  QTest::mouseDClick(players->viewport(), Qt::LeftButton, {},
                     players->visualRect(form_.Model(ListId::Players)->index(2, 0)).center());
  EXPECT_EQ(pages->currentIndex(), 6);
  EXPECT_EQ(ws_.LabelLoadedName(), "bob");
  EXPECT_FALSE(form_.StatusPanel(kPanelElapsed)->text().isEmpty());
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

TEST_F(TFormCALTest, ReportImagesShowOnlyTheFirstChoiceAndRestoreThePages) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  Open();
  BodyLocationFigure* overall = form_.Figure(FigureId::Overall);
  overall->ChoiceButton(2)->click();  // "Suicides"
  EXPECT_EQ(ws_.figure(FigureId::Overall).choice, 2);
  Child<QTabWidget>("PageControl")->setCurrentIndex(0);

  OffscreenImageSource images(ws_);
  const RgbImage image = PackedRgb(images.Render(ReportImage::Accuracy));
  ASSERT_EQ(image.width, 233);
  if (qEnvironmentVariableIsSet("BARVIK_DUMP")) {
    QImage(image.pixels.data(), image.width, image.height, static_cast<qsizetype>(image.stride),
           QImage::Format_RGB888)
        .save("/tmp/acc_test.png");
  }
  // The silhouette's green shows in the middle of the body (x 117, y 150).
  const uint8_t* pixel = image.pixels.data() + size_t{150} * image.stride + size_t{117} * 3;
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[1], 255);
  EXPECT_EQ(pixel[2], 0);
  // The picture shows the "Kills" button (lowest place) but not the checked "Suicides" one
  // (top place); afterwards the window shows all of them again, on the page it was on.
  auto uniform = [&](QRect r) {
    const uint8_t* first = image.pixels.data() + static_cast<size_t>(r.top()) * image.stride +
                           static_cast<size_t>(r.left()) * 3;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) {
        const uint8_t* p = image.pixels.data() + static_cast<size_t>(y) * image.stride +
                           static_cast<size_t>(x) * 3;
        if (p[0] != first[0] || p[1] != first[1] || p[2] != first[2]) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(uniform(QRect(5, 15, 50, 15)));
  EXPECT_FALSE(uniform(QRect(5, 45, 50, 15)));
  EXPECT_EQ(Child<QTabWidget>("PageControl")->currentIndex(), 0);
  EXPECT_FALSE(overall->ChoiceButton(2)->isHidden());
  EXPECT_TRUE(overall->ChoiceButton(2)->isChecked());
}

TEST_F(TFormCALTest, FailuresBecomeMessagesAndTheWindowStaysUsable) {
  Open();
  ws_.template_folder = files_.Path("no-templates");
  ws_.options().dest_dir = files_.Path("html") + "/";
  form_.ButtonHTMLClick();
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].contains("Cannot open file " +
                                    QString::fromStdString(files_.Path("no-templates"))))
      << messages_[0].toStdString();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // The next action works.
  Open();
  EXPECT_EQ(form_.StatusPanel(kPanelActivity)->text(), "Done");
}

TEST_F(TFormCALTest, FileWithoutALogLineIsNamedInTheStatusBar) {
  const std::string file = files_.Write("core.bin", std::string("\x7f"
                                                                "ELF\x02\x01\x01\0\0",
                                                                9));
  form_.OpenLog(file);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
  EXPECT_EQ(form_.StatusPanel(kPanelActivity)->text(), "Done");
  EXPECT_EQ(form_.StatusPanel(kPanelFile)->text(),
            QString::fromStdString(file) + ": no log lines recognised");
  Open();
  EXPECT_EQ(form_.StatusPanel(kPanelFile)->text(),
            QString::fromStdString(files_.Path("small.log")));
}

TEST_F(TFormCALTest, OpenReportInBrowserOpensTheSiteOnceAnExportWroteIt) {
  std::vector<QUrl> opened;
  form_.SetUrlOpener([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  auto* button = Child<QPushButton>("ButtonBrowser");
  EXPECT_FALSE(button->isEnabled());
  for (const char* t : {"globhtml1.dat", "globhtml2.dat", "globhtml3.dat", "globhtml4.dat",
                        "globhtml5.dat", "globhtml6.dat"}) {
    files_.Write(t, "");
  }
  ws_.template_folder = files_.Path("");
  Open();
  ws_.options().dest_dir = files_.Path("html");
  form_.ButtonHTMLClick();
  ASSERT_TRUE(messages_.empty()) << messages_[0].toStdString();
  EXPECT_EQ(form_.StatusPanel(kPanelFile)->text(),
            "Report written to " + QString::fromStdString(files_.Path("html")) + "/");
  ASSERT_TRUE(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0],
            QUrl::fromLocalFile(QString::fromStdString(files_.Path("html/site/index.html"))));

  // A browser that cannot be started is reported, not ignored.
  form_.SetUrlOpener([](const QUrl&) { return false; });
  form_.ButtonBrowserClick();
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].contains("Cannot open the report in a browser"))
      << messages_[0].toStdString();
}

TEST_F(TFormCALTest, BatchFailuresKeepTheWindowOpenWithAFailureStatus) {
  files_.Write("blocker", "a file where the report folder should be");
  for (const char* t : {"globhtml1.dat", "globhtml2.dat", "globhtml3.dat", "globhtml4.dat",
                        "globhtml5.dat", "globhtml6.dat"}) {
    files_.Write(t, "");
  }
  ws_.template_folder = files_.Path("");
  form_.SetCommandLine({files_.Write("small.log", test::kSmallLog), files_.Path("blocker") + "/r"});
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  EXPECT_FALSE(form_.isEnabled());
  EXPECT_EQ(Child<QLineEdit>("EditDestDir")->text(),
            QString::fromStdString(files_.Path("blocker") + "/r"));
  form_.TimerCmdLineTimer();
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].contains(QString::fromStdString(files_.Path("blocker"))))
      << messages_[0].toStdString();
  EXPECT_TRUE(form_.isVisible());
  EXPECT_TRUE(form_.isEnabled());
  EXPECT_NE(form_.exit_status(), 0);
}

TEST_F(TFormCALTest, BatchWithAMissingLogSaysSoAndCloses) {
  form_.SetCommandLine({files_.Path("missing.log"), files_.Path("report")});
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  form_.TimerCmdLineTimer();
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].contains("Cannot open file " +
                                    QString::fromStdString(files_.Path("missing.log"))));
  EXPECT_FALSE(form_.isVisible());
  EXPECT_NE(form_.exit_status(), 0);
  EXPECT_FALSE(std::filesystem::exists(files_.Path("report")));
}

TEST_F(TFormCALTest, SmallestWindowCutsNothing) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  Open();
  SelectRow(ListId::Players, 1);
  form_.resize(100, 100);
  QCoreApplication::processEvents();
  EXPECT_LT(form_.width(), TFormCAL::kDesignWidth);
  EXPECT_LT(form_.height(), TFormCAL::kDesignHeight);

  // Every control of every page lies wholly on its page, and every tab shows whole.
  auto* pages = Child<QTabWidget>("PageControl");
  auto* player_pages = Child<QTabWidget>("PageControlPlayer");
  auto check_page = [&](QTabWidget* tabs) {
    QWidget* page = tabs->currentWidget();
    QCoreApplication::processEvents();
    for (QWidget* w : page->findChildren<QWidget*>()) {
      if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !w->isVisible()) {
        continue;
      }
      const QRect on_page(w->mapTo(page, QPoint(0, 0)), w->size());
      EXPECT_TRUE(page->rect().contains(on_page))
          << w->objectName().toStdString() << " on " << page->objectName().toStdString();
    }
    EXPECT_LE(tabs->tabBar()->tabRect(tabs->count() - 1).right(), tabs->tabBar()->width());
  };
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    check_page(pages);
  }
  for (int i = 0; i < player_pages->count(); ++i) {
    player_pages->setCurrentIndex(i);
    check_page(player_pages);
  }
  // The header row is wider than the window: its scroll bar comes below the row.
  QTableView* header = form_.ListView(ListId::Player);
  ASSERT_TRUE(header->horizontalScrollBar()->isVisible());
  EXPECT_LE(header->visualRect(form_.Model(ListId::Player)->index(0, 0)).bottom(),
            header->viewport()->height());
}

TEST_F(TFormCALTest, KeyboardLeavesListsAndTurnsPagesKeepingTheSelection) {
  form_.show();
  form_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  Open();
  auto* pages = Child<QTabWidget>("PageControl");
  QTableView* players = form_.ListView(ListId::Players);
  QTest::mouseClick(players->viewport(), Qt::LeftButton, {},
                    players->visualRect(form_.Model(ListId::Players)->index(1, 0)).center());
  ASSERT_EQ(SelectedRow(ListId::Players), 1);
  // Arrows move the selection.
  QTest::keyClick(players, Qt::Key_Down);
  EXPECT_EQ(SelectedRow(ListId::Players), 2);
  const QString bob = Cell(ListId::Players, 2, 0);
  EXPECT_EQ(Cell(ListId::Player, 0, 0), bob);

  // Tab goes to another control; the selection stays.
  QTest::keyClick(players, Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), players);
  EXPECT_EQ(SelectedRow(ListId::Players), 2);

  // Ctrl+Tab turns the page even from inside a list, which keeps its row.
  players->setFocus();
  QTest::keyClick(players, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), 2);
  EXPECT_EQ(SelectedRow(ListId::Players), 2);
  EXPECT_EQ(Cell(ListId::Player, 0, 0), bob);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                  Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(pages->currentIndex(), 1);
  // From an edit box as well.
  pages->setCurrentIndex(0);
  Child<QLineEdit>("EditDestDir")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), 1);
  // Turning to the player page by key is the user's page change: it loads him.
  pages->setCurrentIndex(5);
  QTest::keyClick(&form_, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), 6);
  EXPECT_EQ(ToQString(ws_.LabelLoadedName()), bob);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

TEST_F(TFormCALTest, LongNamesAreShortenedInFigureTitlesNeverTheFixedWords) {
  const std::string pine = "pine - toyotas are awesommmmmmm";
  form_.OpenLog(files_.Write("long.log", "  0:01 J;1;0;" + pine +
                                             "\n  0:01 J;2;1;Bob\n  0:03 K;1;0;allies;" + pine +
                                             ";2;1;axis;Bob;kar98k_mp;100;MOD;head\n"));
  SelectRow(ListId::Players, RowOf(ListId::Players, pine));
  Child<QTabWidget>("PageControl")->setCurrentIndex(6);
  SelectRow(ListId::PlayerWeapon, RowOf(ListId::PlayerWeapon, "kar98k_mp"));

  const QString name = QString::fromStdString(pine).toUpper();
  struct Case {
    FigureId figure;
    QString words;  // the fixed words the title starts with
    QString whole;
  } cases[] = {
      {FigureId::GlobEnemyAccuracy, "Overall enemy shot accuracy against a player ",
       "Overall enemy shot accuracy against a player " + name},
      {FigureId::WeaponAccuracy, "Shot accuracy of player ",
       "Shot accuracy of player " + name + " for weapon KAR98K_MP"},
  };
  for (const Case& c : cases) {
    const QLabel* title = form_.Figure(c.figure)->TitleLabel();
    const QRect needed =
        QFontMetrics(title->font())
            .boundingRect(title->contentsRect(),
                          static_cast<int>(title->alignment()) | Qt::TextWordWrap, title->text());
    EXPECT_LE(needed.height(), title->height()) << title->text().toStdString();
    EXPECT_TRUE(title->text().startsWith(c.words)) << title->text().toStdString();
    EXPECT_TRUE(title->text().contains(QChar(0x2026))) << title->text().toStdString();
    EXPECT_EQ(title->toolTip(), c.whole);
  }
  EXPECT_TRUE(
      form_.Figure(FigureId::WeaponAccuracy)->TitleLabel()->text().contains(" for weapon "));

  // A title that fits is shown as it is, with no tooltip.
  const QLabel* fits = form_.Figure(FigureId::GlobAccuracy)->TitleLabel();
  EXPECT_EQ(fits->text(), "Overall shot accuracy of player " + name);
  EXPECT_EQ(fits->toolTip(), "");
}

TEST_F(TFormCALTest, MissingLogIsRefusedOrSaid) {
  QFileDialog* dialog = form_.MakeOpenDialog();
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
  delete dialog;
  form_.OpenLog(files_.Path("gone.log"));
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].endsWith(": Cannot open file " +
                                    QString::fromStdString(files_.Path("gone.log"))))
      << messages_[0].toStdString();
}

TEST_F(TFormCALTest, RenderContextNamesThePicturesSizes) {
  Open();
  OffscreenImageSource images(ws_);
  const std::optional<std::string> figure = images.RenderContext(ReportImage::PlayerAccuracy);
  ASSERT_TRUE(figure.has_value());
  // Another renderer of the same state in the same program draws the same pictures.
  EXPECT_EQ(OffscreenImageSource(ws_).RenderContext(ReportImage::PlayerAccuracy), figure);
  // A figure so low that its frame shows in the picture draws another one.
  PictureSizes low;
  low.figure_heights[1] = BodyLocationFigure::kImageHeight;
  images.SetSizes(low);
  EXPECT_NE(images.RenderContext(ReportImage::PlayerAccuracy), figure);
}

// The rows of a picture, 3 bytes (red, green, blue) a pixel, without their padding.
std::vector<std::string> PixelRows(const RgbImage& any) {
  const RgbImage image = PackedRgb(any);
  std::vector<std::string> rows;
  for (int y = 0; y < image.height; ++y) {
    const auto* row =
        reinterpret_cast<const char*>(image.pixels.data()) + static_cast<size_t>(y) * image.stride;
    rows.emplace_back(row, static_cast<size_t>(image.width) * 3);
  }
  return rows;
}

// A picture as the window shows it: the widget on its page, laid out there, drawn with the
// figure's other choices hidden.
RgbImage WindowPicture(TFormCAL& form, ReportImage image) {
  form.CurrentPictureSizes();  // lays out every page that holds a picture
  const FigureId ids[] = {FigureId::Overall, FigureId::GlobAccuracy, FigureId::GlobEnemyAccuracy};
  BodyLocationFigure* figure =
      image == ReportImage::RatioChart ? nullptr : form.Figure(ids[static_cast<size_t>(image)]);
  QWidget* target = figure ? static_cast<QWidget*>(figure) : form.Chart();
  const QSize size =
      figure ? QSize(figure->width(), BodyLocationFigure::kImageHeight) : target->size();
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(form.palette().color(QPalette::Window));
  if (figure) figure->ShowOtherChoices(false);
  {
    QPainter painter(&picture);
    target->render(&painter, QPoint(), QRegion(QRect(QPoint(), size)),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
  }
  if (figure) figure->ShowOtherChoices(true);
  RgbImage out;
  out.width = picture.width();
  out.height = picture.height();
  out.stride = static_cast<size_t>(picture.bytesPerLine());
  out.layout = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PixelLayout::Bgrx : PixelLayout::Xrgb;
  out.pixels.assign(picture.constBits(), picture.constBits() + picture.sizeInBytes());
  return PackedRgb(out);
}

// The renderer draws every picture exactly as the window shows it: long names cut in the
// titles, all seventeen body locations, figures of a player with no hits, a chart of
// thousands of turns.
TEST_F(TFormCALTest, RendererDrawsThePicturesOfTheWindow) {
  const char* locations[] = {"head",
                             "neck",
                             "torso_upper",
                             "torso_lower",
                             "left_arm_upper",
                             "right_arm_upper",
                             "left_arm_lower",
                             "right_arm_lower",
                             "left_hand",
                             "right_hand",
                             "left_leg_upper",
                             "right_leg_upper",
                             "left_leg_lower",
                             "right_leg_lower",
                             "left_foot",
                             "right_foot",
                             "none"};
  const std::string longest = "Sir Reginald Maximilian von Unstoppable the Longest Named";
  std::string log;
  for (int turn = 0; turn < 3000; ++turn) {
    log += "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\n";
    if (turn % 2 == 0) log += "  0:01 J;1;0;" + longest + "\n  0:01 J;2;1;Alice\n";
    if (turn == 7) log += "  0:01 J;3;2;Quiet\n";
    if (turn % 5 != 0) continue;
    const std::string where = locations[turn / 5 % std::size(locations)];
    if (turn % 3 == 0) {
      log += "  0:02 K;2;1;axis;Alice;1;0;allies;";
      log += longest;
    } else {
      log += "  0:02 K;1;0;allies;";
      log += longest;
      log += ";2;1;axis;Alice";
    }
    log += ";mp40_mp;100;MOD_RIFLE_BULLET;";
    log += where;
    log += "\n";
  }
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  form_.OpenLog(files_.Write("varied.log", log));
  OffscreenImageSource images(ws_);
  EXPECT_EQ(PixelRows(images.Render(ReportImage::Accuracy)),
            PixelRows(WindowPicture(form_, ReportImage::Accuracy)));
  const auto& rows = ws_.List(ListId::Players).rows;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].caption == kTotalRowCaption) continue;
    ws_.SelectPlayerRow(static_cast<int>(i));
    ws_.ShowSelectedPlayer(rows[i].caption);
    form_.Sync();
    for (ReportImage image :
         {ReportImage::PlayerAccuracy, ReportImage::EnemyAccuracy, ReportImage::RatioChart}) {
      EXPECT_EQ(PixelRows(images.Render(image)), PixelRows(WindowPicture(form_, image)))
          << rows[i].caption << " picture " << static_cast<int>(image);
    }
  }
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

// Counts the pictures an export has drawn by the window's renderer.
class CountingImages : public ImageSource {
 public:
  explicit CountingImages(Workspace& ws) : images_(ws) {}
  RgbImage Render(ReportImage image) override {
    ++drawn;
    return images_.Render(image);
  }
  std::optional<std::string> RenderContext(ReportImage image) override {
    return images_.RenderContext(image);
  }
  int drawn = 0;

 private:
  OffscreenImageSource images_;
};

// Pictures left by the memo, and those drawn after other players' were skipped, are the
// bytes a fresh export draws.
TEST(TFormCALRenderMemoTest, IncrementalExportDrawsTheChangedPicturesAsAFreshOne) {
  test::TempFolder files;
  const std::string log = files.Write("small.log", test::kSmallLog);
  auto run = [&](const std::string& folder, bool incremental) {
    Workspace ws;
    ws.template_folder = BARVIK_TEMPLATE_DIR;
    ws.cache_folder = files.Path("cache");
    EXPECT_TRUE(ws.RunAnalysis(log));
    ws.options().dest_dir = folder;
    CountingImages images(ws);
    ws.export_incremental = incremental;
    ws.ButtonHTMLClick(images);
    return images.drawn;
  };
  auto pictures = [](const std::string& folder) {
    std::map<std::string, std::string> png;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      if (e.path().extension() != ".png") continue;
      std::ifstream in(e.path(), std::ios::binary);
      png[e.path().filename()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return png;
  };
  const std::string report = files.Path("report");
  const int all = run(report, true);
  EXPECT_EQ(all, 10);  // the global figure and three pictures for each of three players
  EXPECT_EQ(run(report, true), 0);
  // Bob kills Carl in the same turn: Alice's pictures stay as they are.
  std::ofstream(log, std::ios::app)
      << "  0:07 K;3;2;axis;Carl;2;1;axis;Bob;mp40_mp;100;MOD_RIFLE_BULLET;left_arm_upper\n";
  const int drawn = run(report, true);
  EXPECT_GT(drawn, 0);
  EXPECT_LE(drawn, all - 3);
  const std::string fresh = files.Path("fresh");
  run(fresh, false);
  EXPECT_EQ(pictures(report), pictures(fresh));
}

// A log without a game start has a turn axis of no length, and a top ratio of 0 a ratio
// axis of none: such charts look the same whichever chart the renderer drew before.
TEST(TFormCALRenderMemoTest, ChartsWithAnEmptyAxisRangeDoNotDependOnTheChartBefore) {
  test::TempFolder files;
  std::string text = test::kSmallLog;
  for (size_t at = text.find("InitGame"); at != std::string::npos; at = text.find("InitGame")) {
    const size_t start = text.rfind('\n', at);
    text.erase(start == std::string::npos ? 0 : start + 1, text.find('\n', at) - start);
  }
  const std::string log = files.Write("no-games.log", text);
  auto run = [&](const std::string& folder, bool incremental, const std::string& max_ratio) {
    Workspace ws;
    ws.template_folder = BARVIK_TEMPLATE_DIR;
    ws.cache_folder = files.Path("cache");
    EXPECT_TRUE(ws.RunAnalysis(log));
    ws.options().dest_dir = folder;
    ws.options().max_ratio = max_ratio;
    OffscreenImageSource images(ws);
    ws.export_incremental = incremental;
    ws.ButtonHTMLClick(images);
  };
  auto charts = [](const std::string& folder) {
    std::map<std::string, std::string> png;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      if (!e.path().filename().string().ends_with("ratiochart.png")) continue;
      std::ifstream in(e.path(), std::ios::binary);
      png[e.path().filename()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return png;
  };
  // The incremental run draws only the charts, the first of them before any other picture.
  run(files.Path("report"), false, "5");
  run(files.Path("report"), true, "0");
  run(files.Path("fresh"), false, "0");
  const auto drawn = charts(files.Path("report"));
  EXPECT_EQ(drawn.size(), 3u);
  EXPECT_EQ(drawn, charts(files.Path("fresh")));
}

TEST(TFormCALHooksTest, AClosedWindowLeavesNoHooksAndARendererTouchesNone) {
  Workspace ws;
  {
    TFormCAL form(ws);
    form.ConnectHooks();
    ASSERT_TRUE(ws.hooks.status_changed);
  }
  EXPECT_FALSE(ws.hooks.status_changed);
  EXPECT_FALSE(ws.hooks.busy);
  EXPECT_FALSE(ws.hooks.line_error);
  EXPECT_FALSE(ws.hooks.lists_changed);

  // A renderer over another front end's Workspace leaves that front end's hooks in place.
  ws.hooks.status_changed = [] {};
  {
    OffscreenImageSource renderer(ws);
    renderer.Render(ReportImage::RatioChart);
  }
  EXPECT_TRUE(ws.hooks.status_changed);
}

TEST(TFormCALPlacementTest, CentresAndKeepsTheRightEdgeOnANarrowScreen) {
  EXPECT_EQ(TFormCAL::CentredTopLeft({1280, 1024}, {997, 569}), QPoint(142, 228));
  EXPECT_EQ(TFormCAL::CentredTopLeft({1281, 1025}, {998, 570}), QPoint(141, 227));
  // Narrower than the window: right edge on the screen's right edge; too low: negative top.
  EXPECT_EQ(TFormCAL::CentredTopLeft({800, 480}, {997, 569}), QPoint(-197, -44));
}

}  // namespace
}  // namespace barvik
