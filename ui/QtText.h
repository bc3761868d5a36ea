// The text boundary between the engine and Qt. Log texts are Windows-1252 bytes and become
// QStrings only through the code page's 256-entry table (Qt's Latin-1 conversion gets
// 0x80-0x9F wrong); text typed by the user goes back the same way. File paths are not log
// text: they use the file system's own encoding in both directions.
#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace barvik {

QString ToQString(std::string_view text);
// Characters the code page lacks become '?'.
std::string To1252(const QString& text);

QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);

}  // namespace barvik
