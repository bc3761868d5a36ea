#include "ui/QtText.h"

#include <QFile>

#include "core/Encoding.h"

namespace barvik {

QString ToQString(std::string_view text) {
  const Encoding& encoding = LogEncoding();
  if (encoding.utf8()) return QString::fromStdString(encoding.ToUtf8(text));
  QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* data = out.data();
  for (size_t i = 0; i < text.size(); ++i) {
    // Every code page allowed is of the Basic Multilingual Plane: one QChar per byte.
    data[i] = QChar(static_cast<char16_t>(encoding.CodePoint(static_cast<unsigned char>(text[i]))));
  }
  return out;
}

std::string To1252(const QString& text) { return LogEncoding().FromUtf8(text.toStdString()); }

QString PathToQString(const std::string& path) { return QFile::decodeName(path.c_str()); }

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace barvik
