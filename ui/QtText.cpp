#include "ui/QtText.h"

#include <QFile>

#include "core/Text1252.h"

namespace barvik {

QString ToQString(std::string_view text) {
  QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* data = out.data();
  for (size_t i = 0; i < text.size(); ++i) {
    data[i] = QChar(UnicodeOf1252(static_cast<unsigned char>(text[i])));
  }
  return out;
}

std::string To1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) out += Windows1252Of(c.unicode());
  return out;
}

QString PathToQString(const std::string& path) { return QFile::decodeName(path.c_str()); }

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace barvik
