#include "printer_model/CommandRow.h"

#include <cstdlib>

#include "DStrParser/DStrParser.h"
#include "foundation/CodePage.h"

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

namespace {

bool isSeparator(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

void addSeparators(const std::string& literal, std::string& into) {
  for (char ch : literal)
    if (isSeparator(ch) && into.find(ch) == std::string::npos) into += ch;
}

bool isNumeric(const Rules& rules) {
  for (const Rule& r : rules)
    switch (r.check) {
      case Check::Integer:
      case Check::IntegerAtMost:
      case Check::IntegerAtLeast:
      case Check::Number:
      case Check::NumberAtMost:
      case Check::NumberAtLeast:
      case Check::Currency:
      case Check::CurrencyAtMost:
      case Check::CurrencyAtLeast: return true;
      default: break;
    }
  return false;
}

// How a refusal shows a character: the character itself in quotes when it
// prints, its name for the controls a till sends by mistake, and its byte.
std::string describe(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  static const char* hex = "0123456789ABCDEF";
  const std::string code = std::string(1, hex[c >> 4]) + hex[c & 15] + "h";
  switch (c) {
    case '\t': return "TAB (" + code + ")";
    case '\n': return "LF (" + code + ")";
    case '\r': return "CR (" + code + ")";
    default: break;
  }
  if (c >= 0x20 && c < 0x7F) return "\"" + std::string(1, ch) + "\" (" + code + ")";
  return "the byte " + code;
}

const std::string kNothingSentEn = "; nothing was sent to the printer.";
const std::string kNothingSentBg = "; нищо не е изпратено към устройството.";

}  // namespace

std::string UnprintableRule(char32_t character, std::uint16_t codePage) {
  return "holds " + CodePointName(character) + ", a character code page " + std::to_string(codePage) +
         " cannot print";
}

FieldRefused UnprintableText(const std::string& parameter, char32_t character, std::uint16_t codePage) {
  const std::string name = CodePointName(character), page = std::to_string(codePage);
  return FieldRefused(parameter,
                      "Parameter " + parameter + " " + UnprintableRule(character, codePage) + kNothingSentEn +
                          " Write the text without it, or set replaceUnmappable to print \"?\" in its place.",
                      "Параметърът " + parameter + " съдържа " + name + ", знак, който кодова таблица " + page +
                          " не може да отпечата" + kNothingSentBg +
                          " Напишете текста без него или задайте replaceUnmappable, за да се отпечата \"?\" на "
                          "негово място.");
}

namespace {

[[noreturn]] void refuseCharacter(const FieldPiece& p, char ch) {
  throw FieldRefused(p.name, "Parameter " + std::string(p.name) + " holds " + describe(ch) +
                                 ", which would end its field on the wire" + kNothingSentEn,
                     "Параметърът " + std::string(p.name) + " съдържа " + describe(ch) +
                         ", който би приключил полето му" + kNothingSentBg);
}

[[noreturn]] void refuseNumber(const FieldPiece& p, const AnsiString& value) {
  // Name the first character that is out of place, if there is one.
  std::size_t bad = value.size();
  bool point = false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char ch = value[i];
    if ((ch == '+' || ch == '-') && i == 0) continue;
    if (ch >= '0' && ch <= '9') continue;
    if (ch == '.' && !point) {
      point = true;
      continue;
    }
    bad = i;
    break;
  }
  const std::string en = "Parameter " + std::string(p.name) +
                         " must be a plain decimal number (a sign, digits and one point)";
  const std::string bg = "Параметърът " + std::string(p.name) + " трябва да е десетично число (знак, цифри и една точка)";
  if (bad < value.size())
    throw FieldRefused(p.name, en + " but holds " + describe(value[bad]) + kNothingSentEn,
                       bg + ", а съдържа " + describe(value[bad]) + kNothingSentBg);
  throw FieldRefused(p.name, en + kNothingSentEn, bg + kNothingSentBg);
}

bool isPlainDecimal(const AnsiString& v) {
  std::size_t i = 0;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  bool digit = false, point = false;
  for (; i < v.size(); ++i) {
    if (v[i] >= '0' && v[i] <= '9') digit = true;
    else if (v[i] == '.' && !point) point = true;
    else return false;
  }
  return digit;
}

void checkShape(const FieldPiece& p, const AnsiString& value) {
  // A number in such a place must be there: left out, the next value's first
  // character would take its place (a print flag "" and display flag "1" read
  // as printing without the display flag). An empty letter is the printer's
  // to judge (an empty Ext or N is in use).
  if (p.shape.singleCharacter && (value.size() > 1 || (p.shape.plainDecimal && value.empty())))
    throw FieldRefused(p.name,
                       "Parameter " + std::string(p.name) +
                           " must be one character: the next value follows it with no separator" + kNothingSentEn,
                       "Параметърът " + std::string(p.name) +
                           " трябва да е един знак: следващата стойност е веднага след него" + kNothingSentBg);
  // An empty value goes as it is: the printer judges a missing value.
  if (p.shape.plainDecimal && !value.empty() && !isPlainDecimal(value)) refuseNumber(p, value);
  for (char ch : value)
    if (p.shape.forbidden.find(ch) != std::string::npos) refuseCharacter(p, ch);
}

FieldPiece literalPiece(const std::string& text) {
  FieldPiece p;
  p.literal = text;
  return p;
}

FieldPiece paramPiece(std::size_t index, int cut, const char* name) {
  FieldPiece p;
  p.isParam = true;
  p.param = index;
  p.cut = cut;
  p.name = name;
  return p;
}

}  // namespace

std::string SeparatorsOf(const std::vector<const CommandRow*>& rowsOfOneCode) {
  std::string separators;
  for (const CommandRow* row : rowsOfOneCode) {
    // Only the literal parts: the names inside braces are not on the wire.
    const std::string& t = row->field;
    std::string literal;
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (t[i] == '{') {
        const std::size_t close = t.find('}', i);
        if (close == std::string::npos) break;
        i = close;
        continue;
      }
      literal += t[i];
    }
    addSeparators(literal, separators);
  }
  return separators;
}

std::vector<FieldPiece> CompileField(const CommandRow& row, const std::string& commandSeparators) {
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
    if (!literal.empty()) pieces.push_back(literalPiece(literal));
    literal.clear();
    pieces.push_back(paramPiece(index, cut, row.in[index].name));
    i = close;
  }
  if (!literal.empty()) pieces.push_back(literalPiece(literal));

  // The separators of this command, with the template's own in any case.
  std::string separators = commandSeparators;
  for (const auto& p : pieces)
    if (!p.isParam) addSeparators(p.literal, separators);
  // A sale is "texts TAB the rest": the printer finds the item's texts by the
  // TAB, so a text before it may hold commas and any other sign, but not the
  // TAB or the LF that parts its two lines.
  std::size_t saleTexts = 0;  // the pieces before the TAB; none without one
  for (std::size_t k = 0; k < pieces.size(); ++k)
    if (!pieces[k].isParam && pieces[k].literal.find('\t') != std::string::npos) {
      saleTexts = k;
      break;
    }

  for (std::size_t k = 0; k < pieces.size(); ++k) {
    FieldPiece& p = pieces[k];
    if (!p.isParam) continue;
    p.shape.plainDecimal = isNumeric(row.in[p.param].rules);
    p.shape.forbidden = k < saleTexts ? std::string("\t\n") : separators;
    p.shape.singleCharacter = k + 1 < pieces.size() && pieces[k + 1].isParam;
  }
  return pieces;
}

AnsiString BuildField(const std::vector<FieldPiece>& pieces, const AnsiStrings& in, bool cut) {
  AnsiString field;
  for (const auto& p : pieces) {
    if (!p.isParam) {
      field += p.literal;
      continue;
    }
    const AnsiString& whole = in.at(p.param);
    const AnsiString value = (cut && p.cut > 0) ? whole.substr(0, static_cast<std::size_t>(p.cut)) : whole;
    checkShape(p, value);
    field += value;
  }
  return field;
}

}  // namespace orbantis::cmd
