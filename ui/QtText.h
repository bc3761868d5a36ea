// The text boundary between the engine and Qt. Log texts are bytes of the log's code page
// (LogEncoding: Windows-1252 unless --encoding chose another) and become QStrings only through
// its table (Qt's Latin-1 conversion gets Windows-1252's 0x80-0x9F wrong); text typed by the
// user goes back the same way. File paths are not log
// text: they use the file system's own encoding in both directions.
#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace barvik {

QString ToQString(std::string_view text);
// Characters the log's code page lacks become '?'. (Named for the default code page.)
std::string To1252(const QString& text);

QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);

}  // namespace barvik
