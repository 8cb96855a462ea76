#include "Text.h"

#include <QByteArray>
#include <cstdio>

namespace orbantis::cli {
namespace {

void write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

QString escaped(const QString& text, bool quoting) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\t')
      out += QLatin1String("\\t");
    else if (u == u'\n')
      out += QLatin1String("\\n");
    else if (u == u'\r')
      out += QLatin1String("\\r");
    else if (u < 0x20 || u == 0x7F)
      out += QStringLiteral("\\x%1").arg(static_cast<uint>(u), 2, 16, QLatin1Char('0'));
    else if (quoting && (u == u'"' || u == u'\\'))
      out += QLatin1Char('\\') + c;
    else
      out += c;
  }
  return out;
}

}  // namespace

void Out(const QString& text) { write(stdout, text); }
void Err(const QString& text) { write(stderr, text); }

QString Shown(const QString& text) { return escaped(text, false); }
QString Quoted(const QString& text) { return QLatin1Char('"') + escaped(text, true) + QLatin1Char('"'); }

}  // namespace orbantis::cli
