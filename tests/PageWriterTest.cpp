// The page writer: page text against checked-in pages for tiny templates, player file
// prefixes, escaping of list texts, template line splitting and the file errors.
#include "report/PageWriter.h"
#include "report/ReportFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/FileError.h"
#include "report/ReportFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Row MakeRow(std::string caption, std::vector<std::string> cells) {
  return Row{std::move(caption), std::move(cells)};
}

ReportList MakeList(std::vector<std::string> captions, std::vector<Row> rows) {
  std::vector<Column> columns;
  columns.reserve(captions.size());
  for (std::string& c : captions) columns.push_back({std::move(c), kDefaultWidth, Align::Right});
  ReportList list("ListViewTest", std::move(columns));
  list.rows = std::move(rows);
  return list;
}

// A fresh template folder per test, with templates whose line ends vary on purpose.
class PageWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("barvik-pages-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    Template("globhtml1.dat", "<html>\n<head>\n");  // LF only
    Template("globhtml2.dat", "<table>\r");         // CR only
    Template("globhtml3.dat", "<a href=\"%PLAYER%weapon.html\">W</a> %PLAYER%\n<table>");
    Template("globhtml4.dat", "</table>\r\n<table>\r\n");
    Template("globhtml5.dat", "</table>\r\n");
    Template("globhtml6.dat", "</body>");  // no line end after the last line
    settings_.template_folder = folder_.string();
    settings_.build_text = "38";
    settings_.clock = [] { return FooterTime{"12/08/26", "19:03:17"}; };
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Template(const std::string& name, std::string_view text) {
    WriteBytes(folder_ / name, text);
  }
  std::string Expected(const std::string& name) {
    return ReadBytes(fs::path(BARVIK_TEST_DATA) / "report" / name);
  }

  // Players with the total row in the middle and a short row at the end.
  static ReportList Players() {
    return MakeList(
        {"Player", "Kills", "Ratio"},
        {MakeRow("Bob", {"3", "1.500"}), MakeRow(std::string(kTotalRowCaption), {"5", "1.250"}),
         MakeRow("A&B <x>", {"2", "n/a"}), MakeRow("Zed", {})});
  }
  static ReportList Header() { return MakeList({"Player", "Kills"}, {MakeRow("Jo_Jo", {"4"})}); }
  static ReportList Weapons() {
    return MakeList({"Weapon", "Kills"},
                    {MakeRow(std::string(kTotalRowCaption), {"4"}), MakeRow("kar98k", {"4"})});
  }

  fs::path folder_;
  PageSettings settings_;
  ReportOutput output_;
};

// With a maker's address the footer links to it; without one (PlayerPage...) it names the
// program and its build alone.
TEST_F(PageWriterTest, GlobalPageMatchesExpectedBytes) {
  settings_.maker_address = "https://barvik.example.org/";
  const fs::path page = folder_ / "players.html";
  WriteHTMLPage(Players(), "<i>srv</i><br>PLAYERS", page.string(), /*links=*/true, "./accuracy.png",
                nullptr, settings_, output_);
  EXPECT_EQ(ReadBytes(page), Expected("global_page.html"));
}

TEST_F(PageWriterTest, PlayerPageMatchesExpectedBytes) {
  const ReportList header = Header();
  const fs::path page = folder_ / "jo95joweapon.html";
  WriteHTMLPage(Weapons(), "T", page.string(), /*links=*/false, "", &header, settings_, output_);
  EXPECT_EQ(ReadBytes(page), Expected("player_page.html"));
}

TEST_F(PageWriterTest, EmptyListGivesHeadingRowOnly) {
  const std::string page =
      BuildHTMLPage(MakeList({"Weapon", "Kills"}, {}), "T", false, "", nullptr, settings_);
  EXPECT_EQ(page.find("<tr align=right>"), std::string::npos);
  EXPECT_NE(
      page.find("<td>Lp.</td>\r\n<td>Weapon</td>\r\n<td>Kills</td>\r\n</tr>\r\n\r\n\r\n</table>"),
      std::string::npos);
}

TEST_F(PageWriterTest, AssignedPrefixesDriveLinksAndPlayerPlaceholder) {
  // The export gives a colliding player a suffixed prefix; his link and his page's own
  // navigation must use it, not the plain prefix.
  settings_.player_prefix = [](std::string_view name) {
    return name == "Bob" ? std::string("bob_2") : std::string("other");
  };
  EXPECT_NE(BuildHTMLPage(Players(), "T", true, "", nullptr, settings_)
                .find("<a href=\"bob_2weapon.html\">Bob</a>"),
            std::string::npos);
  const ReportList header = MakeList({"Player"}, {MakeRow("Bob", {})});
  EXPECT_NE(BuildHTMLPage(Weapons(), "T", false, "", &header, settings_)
                .find("<a href=\"bob_2weapon.html\">W</a> %PLAYER%\r\n"),
            std::string::npos);
}

TEST_F(PageWriterTest, TemplatesAreReadAfreshForEveryPage) {
  const fs::path page = folder_ / "p.html";
  WriteHTMLPage(Weapons(), "T", page.string(), false, "", nullptr, settings_, output_);
  Template("globhtml6.dat", "</body>\n</html>\n");
  WriteHTMLPage(Weapons(), "T", page.string(), false, "", nullptr, settings_, output_);
  const std::string text = ReadBytes(page);
  const std::string_view end = "</body>\r\n</html>\r\n";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

TEST_F(PageWriterTest, TemplatesSharedByARunGiveEachPageItsOwnBytes) {
  // The export reads each template once; one player's "%PLAYER%" must not reach the next.
  const ReportList bob = MakeList({"Player"}, {MakeRow("Bob", {})});
  const ReportList zed = MakeList({"Player"}, {MakeRow("Zed", {})});
  const std::string alone = BuildHTMLPage(Weapons(), "T", false, "", &zed, settings_);
  settings_.templates = std::make_shared<TemplateLines>();
  BuildHTMLPage(Weapons(), "T", false, "", &bob, settings_);
  fs::remove(folder_ / "globhtml3.dat");  // kept from the first page
  EXPECT_EQ(BuildHTMLPage(Weapons(), "T", false, "", &zed, settings_), alone);
}

TEST_F(PageWriterTest, MissingTemplateStopsThePageWithItsPath) {
  const fs::path page = folder_ / "weapon.html";
  WriteBytes(page, "previous");
  fs::remove(folder_ / "globhtml6.dat");
  try {
    WriteHTMLPage(Weapons(), "T", page.string(), false, "", nullptr, settings_, output_);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + (folder_ / "globhtml6.dat").string());
  }
  EXPECT_EQ(ReadBytes(page), "previous");  // the page is not written at all
}

TEST_F(PageWriterTest, PageThatCannotBeCreatedNamesItsPath) {
  const std::string page = (folder_ / "no-such-folder" / "weapon.html").string();
  try {
    WriteHTMLPage(Weapons(), "T", page, false, "", nullptr, settings_, output_);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + page);
  }
  // A folder in the page's place cannot be replaced either.
  fs::create_directory(folder_ / "taken.html");
  EXPECT_THROW(WriteHTMLPage(Weapons(), "T", (folder_ / "taken.html").string(), false, "", nullptr,
                             settings_, output_),
               FileError);
  // No temporary file is left behind by the failures.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 6u);  // the six templates
}

TEST(PlayerFilePrefixTest, KeepsSafeCharactersAndEncodesTheRest) {
  EXPECT_EQ(PlayerFilePrefix("Bob Smith"), "bob32smith");
  EXPECT_EQ(PlayerFilePrefix("[ZC]Hunter"), "91zc93hunter");
  EXPECT_EQ(PlayerFilePrefix("Jo_Jo"), "jo95jo");
  EXPECT_EQ(PlayerFilePrefix("a.b=c@d^e"), "a.b=c@d^e");
  EXPECT_EQ(PlayerFilePrefix(std::string("x\xE9y")), "x-23y");  // byte 233: signed -23
  EXPECT_EQ(PlayerFilePrefix(std::string("\xC9")), "-23");      // upper É lowers to é first
  EXPECT_EQ(PlayerFilePrefix(std::string("\x8A")), "-102");     // Š lowers to š (0x9A)
  EXPECT_EQ(PlayerFilePrefix(std::string("\xFF")), "-1");
  EXPECT_EQ(PlayerFilePrefix("!"), "33");
  EXPECT_EQ(PlayerFilePrefix("33"), "33");
  EXPECT_EQ(PlayerFilePrefix(""), "");
}

TEST(EscapeHtmlTest, EscapesMarkupCharactersOnly) {
  EXPECT_EQ(EscapeHtml("<b>Tom & \"Jerry\"</b>"), "&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;");
  EXPECT_EQ(EscapeHtml("plain 'text' 1.5"), "plain 'text' 1.5");
  EXPECT_EQ(EscapeHtml(std::string("\xE9&")), std::string("\xE9&amp;"));
  EXPECT_EQ(EscapeHtml(""), "");
}

TEST_F(PageWriterTest, ListTextsAreEscapedInEveryCell) {
  const ReportList list = MakeList({"Name <1>", "Cell"}, {MakeRow("<b>Bob</b>", {"\"q\" & <i>"})});
  const ReportList header = MakeList({"H&"}, {MakeRow("<h>", {})});
  const std::string page = BuildHTMLPage(list, "<b>kept</b>", true, "", &header, settings_);
  EXPECT_NE(page.find("<td>Name &lt;1&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find(">&lt;b&gt;Bob&lt;/b&gt;</a></td>"), std::string::npos);
  EXPECT_NE(page.find("<td>&quot;q&quot; &amp; &lt;i&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>H&amp;</td>"), std::string::npos);
  EXPECT_NE(page.find("<td align=left>&lt;h&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find("<b><b>kept</b></b>"), std::string::npos);  // the title is the caller's
  EXPECT_EQ(page.find("<b>Bob"), std::string::npos);
}

TEST(SplitTemplateLinesTest, AnyLineEndEndsALine) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitTemplateLines(""), Lines{});
  EXPECT_EQ(SplitTemplateLines("a"), Lines{"a"});
  EXPECT_EQ(SplitTemplateLines("a\n"), Lines{"a"});
  EXPECT_EQ(SplitTemplateLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTemplateLines("\n\n"), (Lines{"", ""}));
  EXPECT_EQ(SplitTemplateLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitTemplateLines("a\n\rb"), (Lines{"a", "", "b"}));
}

}  // namespace
}  // namespace barvik
