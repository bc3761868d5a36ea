#include "ui/Platform.h"

#include <dlfcn.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QString>
#include <QtGlobal>

namespace barvik {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// The platform the arguments or QT_QPA_PLATFORM ask for ("xcb", "offscreen", ...), without
// its options and fallbacks; empty for Qt's default.
std::string RequestedPlatform(int argc, char** argv) {
  std::string name;
  for (int i = 1; i < argc; ++i) {
    if ((std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) &&
        i + 1 < argc) {
      name = argv[i + 1];
    } else if (std::strncmp(argv[i], "-platform=", 10) == 0) {
      name = argv[i] + 10;
    }
  }
  if (name.empty() && IsSet("QT_QPA_PLATFORM")) name = std::getenv("QT_QPA_PLATFORM");
  return name.substr(0, name.find_first_of(";:"));
}

// Whether the X display of DISPLAY accepts a connection, asked of libxcb as Qt's X platform
// would ask it. Loaded at run time: the programs do not link the X libraries themselves. A
// connection that worked stays open for the life of the process: an X server without other
// clients (a bare Xvfb) resets when its last client leaves, and Qt's own connection, made
// right after, would then fail.
bool XDisplayAnswers() {
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (xcb == nullptr) return false;  // then Qt's X platform cannot run either
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto has_error = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  void* connection = connect != nullptr ? connect(nullptr, nullptr) : nullptr;
  if (connection != nullptr && has_error != nullptr && has_error(connection) == 0) return true;
  if (connection != nullptr && disconnect != nullptr) disconnect(connection);
  dlclose(xcb);
  return false;
}

const char* quiet_program = "barvik";

void PrintSeriousQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  std::fprintf(stderr, "%s: %s\n", quiet_program, text.toLocal8Bit().constData());
}

}  // namespace

Screen ChooseScreen(int argc, char** argv) {
  const std::string platform = RequestedPlatform(argc, argv);
  if (platform == "offscreen" || platform.rfind("minimal", 0) == 0) return Screen::kNone;
  if (platform.empty() && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return Screen::kNone;
  // Qt's default here is its X platform whenever DISPLAY is set.
  const bool x_platform = platform == "xcb" || (platform.empty() && IsSet("DISPLAY"));
  if (!x_platform) return Screen::kVisible;
  return IsSet("DISPLAY") && XDisplayAnswers() ? Screen::kVisible : Screen::kUnreachable;
}

void UseOffscreenPlatform(int& argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A "-platform" argument would win over the environment: drop it.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
      ++i;
    } else if (std::strncmp(argv[i], "-platform=", 10) != 0) {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
}

void QuietQtMessages(const char* program) {
#ifdef NDEBUG
  constexpr bool kDebugBuild = false;
#else
  constexpr bool kDebugBuild = true;
#endif
  if (kDebugBuild || IsSet("BARVIK_QT_MESSAGES")) return;
  quiet_program = program;
  qInstallMessageHandler(PrintSeriousQtMessages);
}

std::string DisplayName() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr ? display : "";
}

}  // namespace barvik
