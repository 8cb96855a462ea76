// What the fiscal memory reads do, for a till programmer.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {
namespace {

const char* const kRecordStatus =
    "P the record follows, F no such record, E the fiscal memory holds no closure (Z report) yet; check for P before "
    "using the other values.";
const char* const kWritten = "When the record was written, DD-MM-YYYY HH:MM:SS.";

const char* const kOneClosureCodes =
    "0 read (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the reasons); -3 Closure1 not a plain number (nothing sent). With "
    "input checks on: -10500 empty, -10510 no integer; with answer checks on: -10524 a value missing (also after F or "
    "E, which carry no record), -10515 ErrorCode not P, F or E.";
const char* const kRangeCodes =
    "0 read (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the reasons); -3 a closure number not a plain number (nothing sent). "
    "With input checks on: -10500 empty, -10510 no integer; with answer checks on: -10524 a value missing (also after "
    "F or E, which carry no record), -10515 ErrorCode not P, F or E.";

const ValueDoc kClosure1 = {"Closure1", "The closure (Z report) number; any integer is sent, never cut."};
const ValueDoc kFirst = {"Closure1", "The first closure (Z report) number of the range; any integer, never cut."};
const ValueDoc kLast = {"Closure2",
                        "The last closure number of the range; any integer, never cut, not compared with Closure1."};

// The status letter, the closure number and the receipt count that head a record of sums.
std::vector<ValueDoc> sumsHead(bool range) {
  return {
      {"ErrorCode", kRecordStatus},
      {"Clos", range ? "The number of the last closure of the range." : "The closure (Z report) number."},
      {"Fisc", range ? "The number of fiscal receipts over the range." : "The number of fiscal receipts that day."}};
}

std::vector<ValueDoc> totals(bool range) {
  std::vector<ValueDoc> docs = sumsHead(range);
  docs.insert(docs.end(), {{"TotA", "The turnover of tax group A, VAT included."},
                           {"TotB", "The turnover of tax group B, VAT included."},
                           {"TotC", "The turnover of tax group C, VAT included."},
                           {"TotD", "The turnover of tax group D, VAT included."},
                           {"TotE", "The turnover of tax group E, VAT included."},
                           {"TotF", "The turnover of tax group F, VAT included."}});
  return docs;
}

std::vector<ValueDoc> netSums(bool range) {
  std::vector<ValueDoc> docs = sumsHead(range);
  docs.insert(docs.end(), {{"NetA", "The net turnover of tax group A, without VAT."},
                           {"NetB", "The net turnover of tax group B, without VAT."},
                           {"NetC", "The net turnover of tax group C, without VAT."},
                           {"NetD", "The net turnover of tax group D, without VAT."},
                           {"NetE", "The net turnover of tax group E, without VAT."},
                           {"NetF", "The net turnover of tax group F, without VAT."}});
  return docs;
}

std::vector<ValueDoc> taxSums(bool range) {
  std::vector<ValueDoc> docs = sumsHead(range);
  docs.insert(docs.end(), {{"TaxA", "The VAT of tax group A."},
                           {"TaxB", "The VAT of tax group B."},
                           {"TaxC", "The VAT of tax group C."},
                           {"TaxD", "The VAT of tax group D."},
                           {"TaxE", "The VAT of tax group E."},
                           {"TaxF", "The VAT of tax group F."}});
  return docs;
}

// The figures of a tax-rate record, after its status letter (and record number).
std::vector<ValueDoc> rateRecord(bool withNumber) {
  std::vector<ValueDoc> docs = {{"ErrorCode", kRecordStatus}};
  if (withNumber) docs.push_back({"DecRec", "The number of the tax-rate record (1 for the first rates set)."});
  docs.insert(docs.end(), {{"DecimalsCount", "Decimals in amounts, 0 or 2."},
                           {"VATEnabled", "The enabled tax groups, one 0 or 1 per group A to F."},
                           {"PercA", "The VAT tax rate of group A, in percent."},
                           {"PercB", "The VAT tax rate of group B, in percent."},
                           {"PercC", "The VAT tax rate of group C, in percent."},
                           {"PercD", "The VAT tax rate of group D, in percent."},
                           {"PercE", "The VAT tax rate of group E, in percent."},
                           {"PercF", "The VAT tax rate of group F, in percent."},
                           {"DT", kWritten}});
  return docs;
}

}  // namespace

const std::vector<CommandDoc>& FiscalMemoryCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_114_0",
       "Reads from the fiscal memory the tax-rate record in force at a closure (Z report): its number, the decimals, "
       "the enabled tax groups, the VAT tax rates of groups A to F and when it was written.",
       {kClosure1},
       rateRecord(true),
       kOneClosureCodes},

      {"CMD_114_1",
       "Reads from the fiscal memory the turnover by tax group A to F (VAT included) of one closure (Z report).",
       {kClosure1},
       totals(false),
       kOneClosureCodes},

      {"CMD_114_2",
       "Reads from the fiscal memory the turnover by tax group A to F (VAT included) summed over a range of closures "
       "(Z reports).",
       {kFirst, kLast},
       totals(true),
       kRangeCodes},

      {"CMD_114_3",
       "Reads from the fiscal memory the net turnover by tax group A to F (without VAT) of one closure (Z report).",
       {kClosure1},
       netSums(false),
       kOneClosureCodes},

      {"CMD_114_4",
       "Reads from the fiscal memory the net turnover by tax group A to F (without VAT) summed over a range of "
       "closures (Z reports).",
       {kFirst, kLast},
       netSums(true),
       kRangeCodes},

      {"CMD_114_5",
       "Reads from the fiscal memory the VAT by tax group A to F of one closure (Z report).",
       {kClosure1},
       taxSums(false),
       kOneClosureCodes},

      {"CMD_114_6",
       "Reads from the fiscal memory the VAT by tax group A to F summed over a range of closures (Z reports).",
       {kFirst, kLast},
       taxSums(true),
       kRangeCodes},

      {"CMD_114_7",
       "Reads the record counters of the fiscal memory: closures (Z reports), tax-rate changes, RAM resets, header "
       "changes, service interventions and disconnections.",
       {{"Closure1", "A closure (Z report) number; any integer is sent, never cut."}},
       {{"ErrorCode", kRecordStatus},
        {"Clos", "The number of closures (Z reports) in the fiscal memory."},
        {"DecRec", "The number of tax-rate records."},
        {"ResetRec", "The number of RAM reset records."},
        {"HeaderRec", "The number of header change records."},
        {"TechIntervRec", "The number of technical (service) intervention records."},
        {"FMDisc", "The number of fiscal memory disconnection records."},
        {"PRNDisc", "The number of printer disconnection records."}},
       "0 read (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the reasons); -3 Closure1 not a plain number (nothing sent). With "
       "input checks on: -10500 empty, -10510 no integer; with answer checks on: -10524 a value missing (also after F "
       "or E), -10515 ErrorCode not P, F or E, -10521 Clos no integer."},

      {"CMD_114_8",
       "Reads a tax-rate record of the fiscal memory by its number: the decimals, the enabled tax groups, the VAT tax "
       "rates of groups A to F and when they were set.",
       {{"Closure1", "The tax-rate record's number, 1 for the first rates set; any integer is sent, never cut."}},
       rateRecord(false),
       kOneClosureCodes},

      {"CMD_114_9",
       "Reads from the fiscal memory the date and time of a closure (Z report).",
       {kClosure1},
       {{"ErrorCode", kRecordStatus}, {"DT", "When the closure was written, DD-MM-YYYY HH:MM:SS."}},
       kOneClosureCodes},

      {"CMD_114_10",
       "Reads one line of a receipt header record of the fiscal memory, with the date and time the header was set.",
       {{"Closure1", "The header record's number, 1 for the first header; any integer is sent, never cut."},
        {"Closure2", "The header line: 0 to 5 (0 the first line); not a closure number."}},
       {{"ErrorCode", kRecordStatus},
        {"DT", "When the header was set, DD-MM-YYYY HH:MM:SS."},
        {"HeaderLine", "The line's text; a line holding \",\" comes back up to its first \",\"."}},
       "0 read (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the reasons); -3 Closure1 not a plain number or Closure2 holding "
       "\",\" (nothing sent). With input checks on: -10500 empty, -10510 Closure1 no integer, -10504 Closure2 not 0 to "
       "5; with answer checks on: -10524 a value missing (also after F or E), -10515 ErrorCode not P, F or E."},

      {"CMD_114_11",
       "Reads from the fiscal memory the date and time the printer was fiscalised (its fiscalisation record).",
       {{"Closure1", "The fiscalisation record's number: 1, the only one; any integer is sent, never cut."}},
       {{"ErrorCode", kRecordStatus}, {"DT", "When the printer was fiscalised, DD-MM-YYYY HH:MM:SS."}},
       kOneClosureCodes},
  };
  return docs;
}

}  // namespace orbantis::cmd
