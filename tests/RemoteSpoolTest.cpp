// The spool of a remote log, the rules for URLs and for the netrc file: the pieces of
// remote/ that need no server (the transfers are tested against real servers in
// tests/remote/remote_test.py).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "log/LogSource.h"
#include "remote/Mirror.h"
#include "remote/RemoteUrl.h"
#include "remote/Spool.h"

namespace barvik::remote {
namespace {

class SpoolTest : public testing::TempFolderTest {
 protected:
  std::string Folder() const { return (dir_ / "spool").string(); }
  // The bytes a local reader sees: the generation files, oldest first.
  std::string Readable() const {
    std::string all;
    for (const std::string& file : ExpandLogOperands({Folder()})) {
      std::ifstream in(file, std::ios::binary);
      all += std::string(std::istreambuf_iterator<char>(in), {});
      all += '|';
    }
    return all;
  }
};

TEST_F(SpoolTest, UnterminatedLastLineWaitsForItsEnd) {
  Spool spool(Folder(), "ftp://h/x.log");
  Generation& g = spool.NewGeneration("x.log");
  spool.Append(g, "line 1\nline");
  spool.Save();
  EXPECT_EQ(Readable(), "line 1\n|");
  EXPECT_EQ(g.mirrored, 11u);  // the cut line is held, so it is not fetched again
  spool.Append(g, " 2\r\nline 3");
  spool.Save();
  EXPECT_EQ(Readable(), "line 1\nline 2\r\n|");
}

TEST_F(SpoolTest, TailSurvivesARestartAndAStaleTailIsDropped) {
  {
    Spool spool(Folder(), "ftp://h/x.log");
    Generation& g = spool.NewGeneration("x.log");
    spool.Append(g, "a\nhalf");
    spool.Save();
  }
  {
    Spool spool(Folder(), "ftp://h/x.log");
    ASSERT_EQ(spool.generations().size(), 1u);
    Generation& g = spool.generations()[0];
    EXPECT_EQ(g.mirrored, 6u);
    EXPECT_EQ(spool.Head(g, 100), "a\nhalf");
    spool.Append(g, " done\n");
    // Killed before the state and tail were written: the .log file grew, the tail is old.
  }
  std::filesystem::remove(dir_ / "spool" / "state");
  Spool spool(Folder(), "ftp://h/x.log");
  ASSERT_EQ(spool.generations().size(), 1u);
  // The .log file alone is the truth: the old tail no longer follows it.
  EXPECT_EQ(spool.generations()[0].mirrored, 12u);
  EXPECT_EQ(Readable(), "a\nhalf done\n|");
}

TEST_F(SpoolTest, GenerationsReadOldestFirstAndStateKeepsNoSecrets) {
  Spool spool(Folder(), ShownUrl("ftp://bob@h/x.log?token=s3cret"));
  for (int n = 1; n <= 11; ++n) {
    Generation& g = spool.NewGeneration("x.log");
    spool.Append(g, std::to_string(n) + "\n");
  }
  spool.Save();
  EXPECT_EQ(Readable(), "1\n|2\n|3\n|4\n|5\n|6\n|7\n|8\n|9\n|10\n|11\n|");
  std::ifstream in(dir_ / "spool" / "state");
  const std::string state(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(state.find("url ftp://bob@h/x.log\n"), std::string::npos) << state;
  EXPECT_EQ(state.find("s3cret"), std::string::npos);
}

TEST(RemoteUrlTest, PasswordsAreUsageErrorsAndNeverShown) {
  for (const char* url : {"ftp://bob:p@:!$%w@host/games_mp.log", "sftp://bob:pa/ss@host/log",
                          "https://bob:x@host/log", "ftp://:secret@host/log"}) {
    const std::string problem = UrlProblem(url);
    EXPECT_NE(problem.find("holds a password"), std::string::npos) << url;
    EXPECT_NE(problem.find("--netrc"), std::string::npos) << url;
    for (const char* secret : {"p@:!", "pa/ss", ":x@", "secret"}) {
      EXPECT_EQ(problem.find(secret), std::string::npos) << url;
      EXPECT_EQ(ShownUrl(url).find(secret), std::string::npos) << url;
    }
  }
  EXPECT_EQ(ShownUrl("ftp://bob:pw@host:21/a/b.log?x=1#y"), "ftp://bob@host:21/a/b.log");
  EXPECT_EQ(UrlProblem("sftp://bob@host/srv/cod/main/games_mp.log"), "");
  EXPECT_EQ(UrlProblem("ftp://host/"), "");
  EXPECT_NE(UrlProblem("http://host/logs/").find("web server"), std::string::npos);
  EXPECT_NE(UrlProblem("ftp://host").find("names no log"), std::string::npos);
  EXPECT_NE(UrlProblem("gopher://host/x").find("no ftp"), std::string::npos);
  EXPECT_TRUE(IsRemoteName("FTPS://host/x"));
  EXPECT_FALSE(IsRemoteName("ftp.log"));
}

class NetrcTest : public testing::TempFolderTest {};

TEST_F(NetrcTest, ReadableByOthersOrMissingIsRefused) {
  const std::string netrc = Write("netrc", "machine h login bob password x\n");
  Access access;
  access.netrc = netrc;
  access.known_hosts = "/dev/null";
  chmod(netrc.c_str(), 0600);
  EXPECT_EQ(AccessProblem(access), "");
  for (mode_t mode : {0640, 0604, 0620}) {
    chmod(netrc.c_str(), mode);
    EXPECT_NE(AccessProblem(access).find("chmod 600"), std::string::npos) << mode;
  }
  access.netrc = (dir_ / "none").string();
  EXPECT_NE(AccessProblem(access).find("cannot be read"), std::string::npos);
}

TEST_F(NetrcTest, CredentialsDirectoryOfTheServiceIsUsed) {
  const std::string netrc = Write("creds/netrc", "machine h login bob password x\n");
  chmod(netrc.c_str(), 0400);
  Write("creds/ssh-key", "key");
  setenv("CREDENTIALS_DIRECTORY", (dir_ / "creds").c_str(), 1);
  Access access;
  EXPECT_EQ(AccessProblem(access), "");
  unsetenv("CREDENTIALS_DIRECTORY");
  EXPECT_EQ(access.netrc, netrc);
  EXPECT_EQ(access.ssh_key, (dir_ / "creds" / "ssh-key").string());
}

}  // namespace
}  // namespace barvik::remote
