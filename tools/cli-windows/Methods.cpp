#include "Methods.h"

#include "CommandLine.h"
#include "Text.h"
#include "uORBANTIS/MethodDocs.h"

namespace orbantis::cli {
namespace {

using automation::EntryKind;

std::string typeWord(ArgType type) {
  switch (type) {
    case ArgType::String: return "text";
    case ArgType::Int: return "int";
    case ArgType::Bool: return "bool";
  }
  return "?";
}

std::vector<Method> build() {
  std::vector<Method> methods;
  for (const auto& e : automation::InterfaceEntries()) {
    if (e.kind != EntryKind::Method) continue;
    Method m;
    m.name = e.name;
    m.dispId = e.dispId;
    for (const auto& a : e.args) m.params.push_back({a.name, a.type, a.inOut, automation::ArgumentDoc(e, a.name)});
    m.result = e.result;
    m.doc = automation::MethodSummary(e);
    m.resultDoc = automation::ResultDoc(e);
    methods.push_back(std::move(m));
  }
  return methods;
}

// text broken into lines of at most width characters, each after indent.
std::string wrapped(const std::string& text, const std::string& indent, std::size_t width = 78) {
  std::string out;
  std::string line;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t blank = text.find(' ', from);
    const std::string word = text.substr(from, blank == std::string::npos ? std::string::npos : blank - from);
    from = blank == std::string::npos ? text.size() : blank + 1;
    if (word.empty()) continue;
    if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
      out += indent + line + '\n';
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) out += indent + line + '\n';
  return out;
}

bool endsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

std::optional<bool> parseBool(std::string word) {
  while (!word.empty() && (word.front() == ' ' || word.front() == '\t')) word.erase(0, 1);
  while (!word.empty() && (word.back() == ' ' || word.back() == '\t')) word.pop_back();
  if (SameIgnoringCase(word, "true") || word == "1") return true;
  if (SameIgnoringCase(word, "false") || word == "0") return false;
  return std::nullopt;
}

}  // namespace

int Method::Required() const {
  int required = 0;
  for (std::size_t i = 0; i < params.size(); ++i)
    if (!params[i].inOut) required = static_cast<int>(i) + 1;
  return required;
}

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = build();
  return methods;
}

const Method* FindMethod(std::string_view name) {
  for (const Method& m : Methods())
    if (m.name == name) return &m;
  const Method* match = nullptr;
  for (const Method& m : Methods()) {
    if (!SameIgnoringCase(m.name, name)) continue;
    if (match != nullptr) return nullptr;  // more than one: the user has to choose
    match = &m;
  }
  return match;
}

std::vector<std::string> SimilarMethods(std::string_view name) {
  // Names containing what was written; failing that, what was written with
  // its last "_" parts dropped (CMD_48_0_9 finds CMD_48_0_0, CMD_48_0_1).
  std::string key(name);
  while (key.size() >= 3) {
    std::vector<std::string> names;
    for (const Method& m : Methods())
      if (ContainsIgnoringCase(m.name, key) && names.size() < 8) names.push_back(m.name);
    if (!names.empty()) return names;
    const auto cut = key.rfind('_');
    if (cut == std::string::npos || cut == 0) break;
    key.resize(cut);
  }
  return {};
}

std::string Synopsis(const Method& method) {
  std::string line = method.name;
  const int required = method.Required();
  for (std::size_t i = 0; i < method.params.size(); ++i) {
    const Param& p = method.params[i];
    line += ' ';
    if (static_cast<int>(i) == required) line += '[';
    line += p.name;
    if (p.type != ArgType::String) line += ':' + typeWord(p.type);
  }
  if (required < static_cast<int>(method.params.size())) line += ']';
  line += method.result ? " -> " + typeWord(*method.result) : std::string(" -> (no result)");
  return line;
}

std::string Reference(const Method& method) {
  std::string text = Synopsis(method) + "   (dispatch id " + std::to_string(method.dispId) + ")\n";
  if (!method.doc.empty()) text += wrapped(method.doc, "  ");
  for (const Param& p : method.params) {
    text += "  " + (p.inOut ? '[' + p.name + ']' : p.name) + '\n';
    if (!p.doc.empty()) text += wrapped(p.doc, "      ");
  }
  if (!method.resultDoc.empty()) text += "  result\n" + wrapped(method.resultDoc, "      ");
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string FirstSentence(const std::string& doc) {
  for (std::size_t from = 0;;) {
    const auto end = doc.find(". ", from);
    if (end == std::string::npos) return doc;
    const std::string head = doc.substr(0, end + 1);
    if (!endsWith(head, "e.g.") && !endsWith(head, "i.e.")) return head;
    from = end + 2;
  }
}

bool BuildArguments(const Method& method, const std::vector<std::string>& given, std::vector<Value>* args,
                    std::string* error) {
  const int required = method.Required();
  const int total = static_cast<int>(method.params.size());
  const int count = static_cast<int>(given.size());
  if (count < required || count > total) {
    std::string takes;
    if (total == 0)
      takes = "no arguments";
    else if (required == total)
      takes = std::to_string(total) + (total == 1 ? " argument" : " arguments");
    else
      takes = std::to_string(required) + " to " + std::to_string(total) + " arguments";
    *error = method.name + " takes " + takes + ", " + std::to_string(count) + " given.\n  usage: " + Synopsis(method);
    return false;
  }
  args->clear();
  for (int i = 0; i < total; ++i) {
    const Param& p = method.params[static_cast<std::size_t>(i)];
    const bool present = i < count;
    const std::string word = present ? given[static_cast<std::size_t>(i)] : std::string();
    auto wrong = [&](const char* what) {
      *error = method.name + ": argument " + std::to_string(i + 1) + " (" + p.name + ") must be " + what +
               ", not \"" + word + "\".\n  usage: " + Synopsis(method);
      return false;
    };
    Value v;
    v.type = p.type;
    switch (p.type) {
      case ArgType::String:
        v.text = word;
        break;
      case ArgType::Int: {
        int n = 0;
        if (present && !ParseInt(word, &n)) return wrong("a whole number (decimal)");
        v.number = n;
        break;
      }
      case ArgType::Bool: {
        const auto b = present ? parseBool(word) : std::optional<bool>(false);
        if (!b) return wrong("true, false, 1 or 0");
        v.flag = *b;
        break;
      }
    }
    args->push_back(std::move(v));
  }
  return true;
}

std::string ShownValue(const Value& v, bool quoteText) {
  switch (v.type) {
    case ArgType::Bool: return v.flag ? "true" : "false";
    case ArgType::Int: return std::to_string(v.number);
    case ArgType::String: return quoteText ? Quoted(v.text) : Shown(v.text);
  }
  return {};
}

}  // namespace orbantis::cli
