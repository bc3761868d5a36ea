// The log's code page: 8-bit code pages by iconv name, UTF-8 made safe, and --encoding end to
// end through barvik-cli (site, JSON, terminal, classic pages).
#include "core/Encoding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "CliRun.h"
#include "FakeImages.h"
#include "TempFolder.h"
#include "app/Cli.h"

namespace barvik {
namespace {

// A Russian name as Windows-1251 writes it: "Челси".
const std::string kCyrillic1251 = "\xD7\xE5\xEB\xF1\xE8";
const std::string kCyrillicUtf8 = "\xD0\xA7\xD0\xB5\xD0\xBB\xD1\x81\xD0\xB8";

TEST(EncodingTest, EightBitCodePagesByIconvName) {
  const Encoding* cp1251 = Encoding::Named("windows-1251");
  ASSERT_NE(cp1251, nullptr);
  EXPECT_EQ(cp1251->ToUtf8(kCyrillic1251), kCyrillicUtf8);
  EXPECT_EQ(cp1251->FromUtf8(kCyrillicUtf8), kCyrillic1251);
  EXPECT_EQ(cp1251->charset(), "windows-1251");
  // Spellings of one code page meet; the label is the one pages declare.
  EXPECT_EQ(Encoding::Named("CP1251"), Encoding::Named("cp1251"));
  EXPECT_EQ(Encoding::Named("CP1251")->charset(), "windows-1251");
  EXPECT_EQ(Encoding::Named("ISO_8859-2")->charset(), "iso-8859-2");
  EXPECT_EQ(Encoding::Named("latin1")->charset(), "iso-8859-1");
  // ISO-8859-2 0xB1 is "ą"; Windows-1250 0xB9 is the same letter.
  EXPECT_EQ(Encoding::Named("iso-8859-2")->ToUtf8("\xB1"), "\xC4\x85");
  EXPECT_EQ(Encoding::Named("windows-1250")->ToUtf8("\xB9"), "\xC4\x85");
  // A byte Windows-1251 leaves undefined (0x98) becomes U+FFFD, not a stray byte.
  EXPECT_EQ(cp1251->ToUtf8("a\x98"), "a\xEF\xBF\xBD");
  // A character the code page lacks goes back as '?'.
  EXPECT_EQ(cp1251->FromUtf8("\xC3\xA9"), "?");
  // The default keeps its reading of 0x80-0x9F, the undefined bytes as C1 controls.
  EXPECT_EQ(Encoding::Windows1252().ToUtf8("\x80\x81\xE9"), "\xE2\x82\xAC\xC2\x81\xC3\xA9");
  EXPECT_EQ(Encoding::Named("Windows-1252"), &Encoding::Windows1252());
}

TEST(EncodingTest, NamesThatAreNoUsableCodePageAreRefused) {
  for (const char* name : {"", "klingon", "UTF-16", "UTF-32", "SHIFT_JIS", "GBK", "BIG5",
                           "CP1251//TRANSLIT", "windows-1251 ", "../../etc"}) {
    EXPECT_EQ(Encoding::Named(name), nullptr) << name;
  }
}

TEST(EncodingTest, Utf8PassesThroughAndInvalidSequencesAreMadeSafe) {
  const Encoding* utf8 = Encoding::Named("UTF-8");
  ASSERT_NE(utf8, nullptr);
  EXPECT_EQ(utf8->charset(), "utf-8");
  EXPECT_EQ(utf8->ToUtf8(kCyrillicUtf8), kCyrillicUtf8);
  EXPECT_EQ(utf8->ToUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");  // beyond the BMP
  const std::string bad = "\xEF\xBF\xBD";
  EXPECT_EQ(utf8->ToUtf8("a\x80z"), "a" + bad + "z");        // stray continuation
  EXPECT_EQ(utf8->ToUtf8("\xD0"), bad);                      // cut at the end
  EXPECT_EQ(utf8->ToUtf8("\xC0\xAF"), bad + bad);            // overlong "/"
  EXPECT_EQ(utf8->ToUtf8("\xED\xA0\x80"), bad + bad + bad);  // a surrogate
  EXPECT_EQ(utf8->ToUtf8("\xE3\x96x"), bad + bad + "x");     // lead without its tail
  EXPECT_EQ(utf8->FromUtf8("J\xC3\xB6rg\xFF"), "J\xC3\xB6rg?");
}

TEST(EncodingTest, ScopedChoiceIsUndoneAfterTheRun) {
  ASSERT_TRUE(LogEncoding().is_default());
  {
    const ScopedLogEncoding scope(*Encoding::Named("koi8-r"));
    EXPECT_EQ(LogEncoding().charset(), "koi8-r");
  }
  EXPECT_TRUE(LogEncoding().is_default());
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class EncodingCliTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    log_ = Write("ru.log",
                 "  0:00 InitGame: \\g_gametype\\dm\\gamename\\Call of Duty 2\\mapname\\"
                 "mp_toujane\\sv_hostname\\Server\n"
                 "  0:01 J;0;0;" +
                     kCyrillic1251 +
                     "\n"
                     "  0:02 J;0;1;Bob\n"
                     "  0:05 K;0;0;;Bob;0;1;;" +
                     kCyrillic1251 +
                     ";PPS42_mp;135;MOD_HEAD_SHOT;head\n"
                     "  1:05 K;0;0;;Bob;0;1;;" +
                     kCyrillic1251 +
                     ";PPS42_mp;40;MOD_RIFLE_BULLET;torso_upper\n"
                     "  2:00 ShutdownGame:\n");
  }

  testing::CliResult Run(std::vector<std::string> args, bool terminal = false) {
    std::ostringstream out, err;
    CliEnvironment env;
    env.template_folder = BARVIK_TEMPLATE_DIR;
    env.terminal_output = terminal;
    env.make_image_source = [](Workspace&) { return std::make_unique<testing::FakeImages>(); };
    args.insert(args.begin() + 1, {"--no-cache"});
    const int status = RunCli(args, out, err, env);
    return {status, out.str(), err.str()};
  }

  std::string log_;
};

TEST_F(EncodingCliTest, Windows1251NameReadsRightInJsonTerminalAndSite) {
  const auto json = Run({"people", "--json", "--encoding", "windows-1251", log_});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"name\": \"" + kCyrillicUtf8 + "\""), std::string::npos) << json.out;

  // A terminal gets UTF-8; a pipe gets the log's bytes, as ever.
  const auto terminal = Run({"people", "--encoding=cp1251", log_}, true);
  EXPECT_NE(terminal.out.find("\t" + kCyrillicUtf8 + "\t"), std::string::npos) << terminal.out;
  const auto piped = Run({"people", "--encoding=cp1251", log_});
  EXPECT_NE(piped.out.find("\t" + kCyrillic1251 + "\t"), std::string::npos);

  const auto exported = Run({"export", "--encoding", "windows-1251", log_, (dir_ / "r").string()});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const std::string people = ReadAll(dir_ / "r/site/people.html");
  EXPECT_NE(people.find(kCyrillicUtf8), std::string::npos);
  EXPECT_EQ(people.find("\xC3\x97\xC3\xA5"), std::string::npos);  // no "×å" mojibake
  EXPECT_NE(ReadAll(dir_ / "r/site/stats.json").find(kCyrillicUtf8), std::string::npos);
}

TEST_F(EncodingCliTest, ClassicPagesKeepTheirBytesAndDeclareTheCodePage) {
  ASSERT_EQ(Run({"export", log_, (dir_ / "default").string()}).status, 0);
  ASSERT_EQ(Run({"export", "--encoding", "cp1251", log_, (dir_ / "ru").string()}).status, 0);
  for (const char* page : {"players.html", "index.html"}) {
    SCOPED_TRACE(page);
    const std::string before = ReadAll(dir_ / "default" / page);
    const std::string after = ReadAll(dir_ / "ru" / page);
    ASSERT_NE(before.find("charset=windows-1252"), std::string::npos);
    std::string expected = before;
    expected.replace(expected.find("charset=windows-1252"), 20, "charset=windows-1251");
    // Same bytes but the declaration (and the footer's clock, masked by equal lengths).
    EXPECT_EQ(after.size(), expected.size());
    EXPECT_NE(after.find("charset=windows-1251"), std::string::npos);
    EXPECT_EQ(after.find("charset=windows-1252"), std::string::npos);
  }
  EXPECT_NE(ReadAll(dir_ / "ru/players.html").find(kCyrillic1251), std::string::npos);
}

TEST_F(EncodingCliTest, UnknownCodePageIsAUsageError) {
  for (const char* command : {"tables", "people", "ranking", "games"}) {
    const auto r = Run({command, "--encoding", "no-such-page", log_});
    EXPECT_EQ(r.status, kExitUsage) << command;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("option '--encoding': 'no-such-page' is not a code page"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(Run({"tables", "--encoding", log_}).status, kExitUsage);  // the log is its value
}

}  // namespace
}  // namespace barvik
