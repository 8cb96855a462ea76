// The electronic journal: every printed document, by closure and number within the day.
#include <ctime>

#include "Printer.h"
#include "PrinterDetail.h"

namespace orbantis::emulator {

using namespace detail;

namespace {

// "DDMMYY" or "DDMMYYhhmm" in local time; a bare day covers all of it.
std::time_t parseStamp(std::string_view text, bool end) {
  if ((text.size() != 6 && text.size() != 10) || text.find_first_not_of("0123456789") != std::string_view::npos) {
    malformed();
  }
  auto num = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  std::tm tm{};
  tm.tm_mday = num(0);
  tm.tm_mon = num(2) - 1;
  tm.tm_year = 100 + num(4);
  if (tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_mon < 0 || tm.tm_mon > 11) malformed();
  if (text.size() == 10) {
    tm.tm_hour = num(6);
    tm.tm_min = num(8);
    tm.tm_sec = end ? 59 : 0;
    if (tm.tm_hour > 23 || tm.tm_min > 59) malformed();
  } else if (end) {
    tm.tm_hour = 23;
    tm.tm_min = 59;
    tm.tm_sec = 59;
  }
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

int monthOf(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm.tm_mon + 1;
}

}  // namespace

void Printer::printDocuments(std::span<const JournalDocument* const> docs, std::string_view title) {
  print(centred("ELECTRONIC JOURNAL"));
  print(centred(title));
  for (const auto* doc : docs) {
    print(leftRight("Z " + std::to_string(doc->zNumber) + " DOC " + std::to_string(doc->number),
                    dateTime(doc->when, false)));
    if (title.find("SHORT") != std::string_view::npos) continue;
    for (const auto& line : doc->lines) print(line);
  }
  print(ruler('='));
  // A copy of the journal on paper is not itself a document of the journal.
  pending_.clear();
}

// "I" reads the journal's figures; "N" starts a new journal; "CL"/"CS" check it; "F..." and
// "PL..."/"PS..." print it, whole or for a month ("D" + month), a time range ("D" + from "," + to)
// or a range of documents (Z, number, Z, number).
Bytes Printer::journal(std::string_view data) {
  const int lastZ = static_cast<int>(closures_.size());
  if (data == "I") {
    return std::to_string(journalNumber_) + "," + std::to_string(lastZ) + "," + std::to_string(journalFirstZ_) + "," +
           std::to_string(journalLines_) + "," + std::to_string(kJournalLines - static_cast<long long>(journalLines_)) +
           "," + std::to_string(kJournalLines);
  }
  if (data == "N") {
    // A new journal starts only right after a closure, so that no day is split between two.
    for (const auto& doc : journal_) {
      if (doc.zNumber > lastZ) return "F";
    }
    ++journalNumber_;
    journal_.clear();
    journalLines_ = 0;
    journalFirstZ_ = lastZ + 1;
    return "P," + std::to_string(journalNumber_);
  }
  if (data == "CL" || data == "CS") {
    return "P," + std::to_string(journalLines_);
  }

  std::string_view rest;
  bool shortForm = false;
  if (data.substr(0, 1) == "F") {
    rest = data.substr(1);
  } else if (data.substr(0, 2) == "PL" || data.substr(0, 2) == "PS") {
    shortForm = data[1] == 'S';
    rest = data.substr(2);
  } else {
    malformed();
  }
  if (!rest.empty() && (rest.front() == 'F' || rest.front() == 'L' || rest.front() == 'I')) rest.remove_prefix(1);

  std::vector<const JournalDocument*> found;
  if (rest.empty()) {
    for (const auto& doc : journal_) found.push_back(&doc);
  } else if (rest.front() == 'D') {
    const auto parts = split(rest.substr(1), ',');
    if (parts.size() == 1) {
      const auto month = integerIn(parts[0], 1, 12);
      for (const auto& doc : journal_) {
        if (monthOf(doc.when) == month) found.push_back(&doc);
      }
    } else if (parts.size() == 2) {
      const auto from = parseStamp(parts[0], false);
      const auto to = parseStamp(parts[1], true);
      for (const auto& doc : journal_) {
        if (doc.when >= from && doc.when <= to) found.push_back(&doc);
      }
    } else {
      malformed();
    }
  } else {
    const auto parts = split(rest, ',');
    if (parts.size() != 4) malformed();
    const auto z1 = integerIn(parts[0], 0, 999999), n1 = integerIn(parts[1], 0, 999999);
    const auto z2 = integerIn(parts[2], 0, 999999), n2 = integerIn(parts[3], 0, 999999);
    for (const auto& doc : journal_) {
      const bool afterStart = doc.zNumber > z1 || (doc.zNumber == z1 && doc.number >= n1);
      const bool beforeEnd = doc.zNumber < z2 || (doc.zNumber == z2 && doc.number <= n2);
      if (afterStart && beforeEnd) found.push_back(&doc);
    }
  }
  if (found.empty()) return "F";
  printDocuments(found, shortForm ? "SHORT PRINT" : "PRINT");
  return "P," + std::to_string(found.size());
}

}  // namespace orbantis::emulator
