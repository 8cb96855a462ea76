#include "printer_model/CommandRow.h"

#include <cstdlib>

#include "DStrParser/DStrParser.h"

namespace orbantis::cmd {

AnswerShape SplitAt(std::vector<std::u16string> separators) {
  return [separators](const WideString& answer) {
    WideStrings items;
    WS2Strings(answer, items, separators);
    return items;
  };
}

AnswerShape SlicesOfFirstItem(std::vector<Slice> slices) {
  return [slices](const WideString& answer) {
    WideStrings items;
    WS2Strings(answer, items, {u","});
    const WideString first = items.empty() ? WideString() : items[0];
    WideStrings values;
    for (const Slice& s : slices) {
      const auto from = static_cast<std::size_t>(s.first - 1);
      values.push_back(from < first.size() ? first.substr(from, static_cast<std::size_t>(s.last - s.first + 1))
                                           : WideString());
    }
    return values;
  };
}

AnswerShape FirstCharAndRest() {
  return [](const WideString& answer) {
    WideStrings items;
    WS2Strings(answer, items, {u","});
    if (items.empty() || items[0].empty()) return WideStrings {};
    return WideStrings {items[0].substr(0, 1), items[0].substr(1)};
  };
}

std::vector<FieldPiece> CompileField(const CommandRow& row) {
  std::vector<FieldPiece> pieces;
  const std::string& t = row.field;
  std::string literal;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '{') {
      literal += t[i];
      continue;
    }
    const std::size_t close = t.find('}', i);
    if (close == std::string::npos) throw Exception(std::string(row.name) + ": unclosed { in the data field");
    std::string name = t.substr(i + 1, close - i - 1);
    int cut = 0;
    if (const auto colon = name.find(':'); colon != std::string::npos) {
      cut = std::atoi(name.c_str() + colon + 1);
      name.resize(colon);
      if (cut <= 0) throw Exception(std::string(row.name) + ": bad cut length for " + name);
    }
    std::size_t index = row.in.size();
    for (std::size_t p = 0; p < row.in.size(); ++p)
      if (name == row.in[p].name) index = p;
    if (index == row.in.size()) throw Exception(std::string(row.name) + ": no parameter " + name);
    if (!literal.empty()) pieces.push_back({false, 0, 0, literal});
    literal.clear();
    pieces.push_back({true, index, cut, {}});
    i = close;
  }
  if (!literal.empty()) pieces.push_back({false, 0, 0, literal});
  return pieces;
}

AnsiString BuildField(const std::vector<FieldPiece>& pieces, const AnsiStrings& in, bool cut) {
  AnsiString field;
  for (const auto& p : pieces) {
    if (!p.isParam) {
      field += p.literal;
      continue;
    }
    const AnsiString& value = in.at(p.param);
    field += (cut && p.cut > 0) ? value.substr(0, static_cast<std::size_t>(p.cut)) : value;
  }
  return field;
}

}  // namespace orbantis::cmd
