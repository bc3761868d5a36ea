// Helpers of the window tests: small logs written to a temporary folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include <QString>
#include <QTemporaryDir>

// Test failures print QStrings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace barvik::test {

// Alice kills Bob twice and Carl once, Bob kills Alice once; one damage by Alice.
inline constexpr const char* kSmallLog =
    "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\\sv_hostname\\Test\n"
    "  0:01 J;1;0;Alice\n"
    "  0:01 J;2;1;Bob\n"
    "  0:01 J;3;2;Carl\n"
    "  0:02 K;2;1;axis;Bob;1;0;allies;Alice;mp40_mp;100;MOD_RIFLE_BULLET;head\n"
    "  0:03 K;2;1;axis;Bob;1;0;allies;Alice;mp40_mp;100;MOD_RIFLE_BULLET;torso_upper\n"
    "  0:04 K;1;0;allies;Alice;2;1;axis;Bob;kar98k_mp;100;MOD_RIFLE_BULLET;head\n"
    "  0:05 K;3;2;axis;Carl;1;0;allies;Alice;mp40_mp;100;MOD_RIFLE_BULLET;head\n"
    "  0:06 D;2;1;axis;Bob;1;0;allies;Alice;mp40_mp;30;MOD_RIFLE_BULLET;left_foot\n";

class TempFolder {
 public:
  std::string Path(const std::string& name) const {
    return (std::filesystem::path(dir_.path().toStdString()) / name).string();
  }
  std::string Write(const std::string& name, const std::string& text) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace barvik::test
