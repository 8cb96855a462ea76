#include "Interface.h"

#include <QDir>
#include <QXmlStreamReader>
#include <QtGlobal>
#include <optional>

#ifndef ORBANTIS_INSTALL_PREFIX
#define ORBANTIS_INSTALL_PREFIX "/usr/local"
#endif

namespace orbantis::cli {
namespace {

QString typeWord(QChar type) {
  switch (type.unicode()) {
    case u's':
      return QStringLiteral("text");
    case u'i':
      return QStringLiteral("int");
    case u'b':
      return QStringLiteral("bool");
    default:
      return QStringLiteral("type ") + type;
  }
}

// Joins the out arguments (after Result) to the in arguments they hand back.
void finish(Method& m, const std::vector<Param>& outs) {
  std::size_t first = 0;
  if (!outs.empty() && outs[0].name == QLatin1String("Result")) {
    m.hasResult = true;
    m.resultType = outs[0].type;
    first = 1;
  }
  std::size_t next = 0;
  for (std::size_t k = first; k < outs.size(); ++k) {
    std::size_t at = next;
    while (at < m.params.size() && m.params[at].name != outs[k].name) ++at;
    if (at < m.params.size()) {
      m.params[at].inOut = true;
      next = at + 1;
    }
    m.outs.push_back(outs[k]);
  }
}

std::optional<int> parseInt(const QString& word) {
  bool ok = false;
  const int n = word.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return n;
}

std::optional<bool> parseBool(const QString& word) {
  const QString w = word.trimmed().toLower();
  if (w == QLatin1String("true") || w == QLatin1String("1")) return true;
  if (w == QLatin1String("false") || w == QLatin1String("0")) return false;
  return std::nullopt;
}

}  // namespace

int Method::Required() const {
  int required = 0;
  for (int i = 0; i < static_cast<int>(params.size()); ++i)
    if (!params[static_cast<std::size_t>(i)].inOut) required = i + 1;
  return required;
}

bool Interface::Parse(const QString& xml, QString* error) {
  FMethods.clear();
  QXmlStreamReader reader(xml);
  bool inInterface = false;
  bool found = false;
  bool inMethod = false;
  Method method;
  std::vector<Param> outs;
  Param* inArg = nullptr;      // the argument whose annotations are read now
  bool inResult = false;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement()) {
      const auto name = reader.name();
      const auto attributes = reader.attributes();
      if (name == QLatin1String("interface")) {
        inInterface = attributes.value(QLatin1String("name")) == QLatin1String(kInterfaceName);
        found = found || inInterface;
      } else if (inInterface && name == QLatin1String("method")) {
        inMethod = true;
        method = Method();
        method.name = attributes.value(QLatin1String("name")).toString();
        outs.clear();
      } else if (inMethod && name == QLatin1String("arg")) {
        const QString type = attributes.value(QLatin1String("type")).toString();
        Param p{attributes.value(QLatin1String("name")).toString(), type.size() == 1 ? type[0] : QChar(u'?'), false, {}};
        inResult = p.name == QLatin1String("Result");
        if (attributes.value(QLatin1String("direction")) == QLatin1String("out")) {
          outs.push_back(p);
          inArg = &outs.back();
        } else {
          method.params.push_back(p);
          inArg = &method.params.back();
        }
      } else if (inMethod && name == QLatin1String("annotation") &&
                 attributes.value(QLatin1String("name")) == QLatin1String("ORBANTIS.DispId")) {
        method.dispId = attributes.value(QLatin1String("value")).toInt();
      } else if (inMethod && name == QLatin1String("annotation") &&
                 attributes.value(QLatin1String("name")) == QLatin1String("org.gtk.GDBus.DocString")) {
        const QString doc = attributes.value(QLatin1String("value")).toString();
        if (inArg == nullptr) method.doc = doc;
        else if (inResult) method.resultDoc = doc;
        else inArg->doc = doc;
      }
    } else if (reader.isEndElement()) {
      if (reader.name() == QLatin1String("arg")) {
        inArg = nullptr;
        inResult = false;
      }
      if (inMethod && reader.name() == QLatin1String("method")) {
        finish(method, outs);
        FMethods.push_back(method);
        inMethod = false;
      } else if (reader.name() == QLatin1String("interface")) {
        inInterface = false;
      }
    }
  }
  if (reader.hasError()) {
    if (error)
      *error = QStringLiteral("the interface description is not readable XML (line %1: %2)")
                   .arg(reader.lineNumber())
                   .arg(reader.errorString());
    FMethods.clear();
    return false;
  }
  if (!found || FMethods.empty()) {
    if (error) *error = QStringLiteral("the description has no methods of %1").arg(QLatin1String(kInterfaceName));
    FMethods.clear();
    return false;
  }
  return true;
}

const Method* Interface::Find(const QString& name) const {
  for (const Method& m : FMethods)
    if (m.name == name) return &m;
  const Method* match = nullptr;
  for (const Method& m : FMethods) {
    if (m.name.compare(name, Qt::CaseInsensitive) != 0) continue;
    if (match != nullptr) return nullptr;  // more than one: the user has to choose
    match = &m;
  }
  return match;
}

QStringList Interface::Similar(const QString& name) const {
  // Names containing what was written; failing that, what was written with
  // its last "_" parts dropped (CMD_48_0_9 finds CMD_48_0_0, CMD_48_0_1).
  QString key = name;
  while (key.size() >= 3) {
    QStringList names;
    for (const Method& m : FMethods)
      if (m.name.contains(key, Qt::CaseInsensitive)) names << m.name;
    if (!names.isEmpty()) return names.mid(0, 8);
    const int cut = key.lastIndexOf(QLatin1Char('_'));
    if (cut <= 0) break;
    key = key.left(cut);
  }
  return {};
}

QString Synopsis(const Method& method) {
  QString line = method.name;
  const int required = method.Required();
  for (int i = 0; i < static_cast<int>(method.params.size()); ++i) {
    const Param& p = method.params[static_cast<std::size_t>(i)];
    line += QLatin1Char(' ');
    if (i == required) line += QLatin1Char('[');
    line += p.name;
    if (p.type != QLatin1Char('s')) line += QLatin1Char(':') + typeWord(p.type);
  }
  if (required < static_cast<int>(method.params.size())) line += QLatin1Char(']');
  line += method.hasResult ? QStringLiteral(" -> ") + typeWord(method.resultType) : QStringLiteral(" -> (no result)");
  return line;
}

namespace {

// text broken into lines of at most width characters, each after indent.
QString wrapped(const QString& text, const QString& indent, int width = 78) {
  QString out, line;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    if (!line.isEmpty() && indent.size() + line.size() + 1 + word.size() > width) {
      out += indent + line + QLatin1Char('\n');
      line.clear();
    }
    line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
  }
  if (!line.isEmpty()) out += indent + line + QLatin1Char('\n');
  return out;
}

}  // namespace

QString Reference(const Method& method) {
  QString text = Synopsis(method);
  if (method.dispId >= 0) text += QStringLiteral("   (dispatch id %1)").arg(method.dispId);
  text += QLatin1Char('\n');
  if (!method.doc.isEmpty()) text += wrapped(method.doc, QStringLiteral("  "));
  for (const Param& p : method.params) {
    const QString name = p.inOut ? QLatin1Char('[') + p.name + QLatin1Char(']') : p.name;
    text += QStringLiteral("  %1\n").arg(name);
    if (!p.doc.isEmpty()) text += wrapped(p.doc, QStringLiteral("      "));
  }
  if (!method.resultDoc.isEmpty()) text += QStringLiteral("  result\n") + wrapped(method.resultDoc, QStringLiteral("      "));
  return text;
}

bool BuildArguments(const Method& method, const QStringList& given, QVariantList* args, QString* error) {
  const int required = method.Required();
  const int total = static_cast<int>(method.params.size());
  if (given.size() < required || given.size() > total) {
    QString takes;
    if (total == 0)
      takes = QStringLiteral("no arguments");
    else if (required == total)
      takes = QStringLiteral("%1 argument%2").arg(total).arg(total == 1 ? "" : "s");
    else
      takes = QStringLiteral("%1 to %2 arguments").arg(required).arg(total);
    *error = QStringLiteral("%1 takes %2, %3 given.\n  usage: %4")
                 .arg(method.name, takes)
                 .arg(given.size())
                 .arg(Synopsis(method));
    return false;
  }
  args->clear();
  for (int i = 0; i < total; ++i) {
    const Param& p = method.params[static_cast<std::size_t>(i)];
    const bool present = i < given.size();
    const QString word = present ? given[i] : QString();
    auto wrong = [&](const char* what) {
      *error = QStringLiteral("%1: argument %2 (%3) must be %4, not \"%5\".\n  usage: %6")
                   .arg(method.name)
                   .arg(i + 1)
                   .arg(p.name, QLatin1String(what), word, Synopsis(method));
      return false;
    };
    switch (p.type.unicode()) {
      case u's':
        *args << QVariant::fromValue(word);
        break;
      case u'i': {
        const auto n = present ? parseInt(word) : std::optional<int>(0);
        if (!n) return wrong("a whole number (decimal)");
        *args << QVariant::fromValue(static_cast<qint32>(*n));
        break;
      }
      case u'b': {
        const auto b = present ? parseBool(word) : std::optional<bool>(false);
        if (!b) return wrong("true, false, 1 or 0");
        *args << QVariant::fromValue(*b);
        break;
      }
      default:
        *error = QStringLiteral("%1: argument %2 (%3) has the D-Bus type \"%4\", which orbantis-cli cannot pass.")
                     .arg(method.name)
                     .arg(i + 1)
                     .arg(p.name, p.type);
        return false;
    }
  }
  return true;
}

QString UserDataHome() {
  const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
  return QDir::homePath() + QStringLiteral("/.local/share");
}

QString InstallPrefix() { return QStringLiteral(ORBANTIS_INSTALL_PREFIX); }

QStringList DescriptionFiles() {
  const QString tail = QStringLiteral("/dbus-1/interfaces/ORBANTIS.KELMORA.xml");
  QStringList dataDirs{UserDataHome(), InstallPrefix() + QStringLiteral("/share")};
  QString system = qEnvironmentVariable("XDG_DATA_DIRS");
  if (system.isEmpty()) system = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& dir : system.split(QLatin1Char(':'), Qt::SkipEmptyParts))
    if (QDir::isAbsolutePath(dir)) dataDirs << QDir::cleanPath(dir);
  QStringList files;
  for (const QString& dir : dataDirs) {
    const QString file = QDir::cleanPath(dir) + tail;
    if (!files.contains(file)) files << file;
  }
  return files;
}

QString RegisterAdvice() {
  return QStringLiteral(
      "Register the server once with `orbantis -regserverperuser` (for you) or\n"
      "`sudo orbantis -regserver` (for all users); the bus then starts it when it is\n"
      "needed. Or start `orbantis` by hand in another terminal.");
}

}  // namespace orbantis::cli
