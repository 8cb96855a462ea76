// What the report and cash commands do, for a till programmer: X and Z reports, cash in and out, the
// fiscal memory reports and the operators report.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kStartDate = {"StartDate",
                             "The first day, DDMMYY (e.g. 010124 for 1 January 2024), cut to 6 characters; no comma."};
const ValueDoc kEndDate = {"EndDate", "The last day, DDMMYY, cut to 6 characters; no comma. The day counts in full."};
const ValueDoc kExt = {"Ext",
                       "Optional report form, one character, sent right before StartDate, neither checked nor cut: "
                       "0 the short form (the closures and the sums, no lines per tax group), another character the "
                       "detailed one; empty also the detailed one."};

// Result codes shared by several rows of this group.
const char* const kDateRangeReportCodes =
    "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt open); -3 "
    "Ext longer than one character or a value holding a comma (nothing sent); with input checks "
    "on -10500 a date empty, -10502 a date longer than 6.";

}  // namespace

const std::vector<CommandDoc>& ReportCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_50_0_0",
       "Reads from the fiscal memory the sums of the daily closures (Z reports) between two dates, "
       "for tax groups A to D, and the date of the last closure in that range. Prints nothing.",
       {kStartDate, kEndDate},
       {{"F_RESULT", "P closures found in the range, F none."},
        {"AA", "The sum of tax group A over the closures in the range."},
        {"BB", "The sum of tax group B."},
        {"CC", "The sum of tax group C."},
        {"DD", "The sum of tax group D."},
        {"DDMMYY", "The date of the last closure in the range, DDMMYY; 000000 when there is none."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); -3 a date holds a comma "
       "(nothing sent); with input checks on -10500 a date empty, -10502 a date longer than 6; with "
       "answer checks on -10524 a value missing, -10513 DDMMYY longer than 6."},
      {"CMD_69_0_0",
       "Daily report: Option 0 prints the Z report (daily closure), which writes the day's totals "
       "to the fiscal memory and clears them; Option 2 prints the X report, the same totals with "
       "nothing cleared. Only while no receipt is open.",
       {{"Option", "0 Z report (daily closure), 2 X report. One character: N follows it with no separator."},
        {"N",
         "Optional: the letter N or empty; sent right after Option as it is, not checked here. One "
         "character: A follows it with no separator."},
        {"A", "Optional: the letter A or empty; sent right after N as it is, not checked here."}},
       {{"Closure",
         "The closure's number: that of the Z report just made; after an X report the number the next "
         "Z report will get."},
        {"TotA", "The day's turnover in tax group A."},
        {"TotB", "The day's turnover in tax group B."},
        {"TotC", "The day's turnover in tax group C."},
        {"TotD", "The day's turnover in tax group D."},
        {"TotE", "The day's turnover in tax group E."},
        {"TotF", "The day's turnover in tax group F."}},
       "0 printed; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt open, the "
       "fiscal memory full); -3 Option or N longer than one character (nothing sent); with input "
       "checks on -10500 Option empty, -10504 Option not 0 or 2; with answer checks on -10521 "
       "Closure no integer (also empty), -10524 a total missing."},
      {"CMD_70_0_0",
       "Cash in or cash out: puts money into the drawer or takes it out (a service deposit or "
       "withdrawal) and prints a slip; a sum of 0 only reads the cash in the drawer. Only while no "
       "receipt is open.",
       {{"InputSum",
         "The sum: positive is cash in, negative cash out, 0 reads only; up to 2 decimals, cut to 9 "
         "characters."}},
       {{"ExitCode", "P done, F refused (cash out of more than the drawer holds)."},
        {"CashSum", "The cash in the drawer: the day's cash payments plus cash in, less cash out."},
        {"ServIn", "The day's total of cash in."},
        {"ServOut", "The day's total of cash out."}},
       "0 the printer answered, read ExitCode; -5 the exchange failed (no answer: \"Please check "
       "the link with this fiscal!\"; refused: \"Some of the status bytes:\" and the printer's "
       "reasons, e.g. a receipt open); -3 InputSum no plain decimal (nothing sent); with input "
       "checks on -10502 InputSum longer than 9, -10505 InputSum no number (also empty); with "
       "answer checks on -10515 ExitCode not P or F, -10524 a sum missing, -10516 a sum no number."},
      {"CMD_73_0_0",
       "Prints the fiscal memory report over a range of closure (Z report) numbers, with the sums "
       "per tax group. Only while no receipt is open.",
       {{"Ext",
         "Optional report form, one character, cut to 1, sent right before StartRec: 0 the short form "
         "(the closures and the sums, no lines per tax group), another character the detailed one; "
         "empty also the detailed one. No comma."},
        {"StartRec", "The first closure number, up to 4 digits, cut to 4."},
        {"EndRec", "The last closure number, up to 4 digits, cut to 4."}},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt open); -3 "
       "Ext longer than one character or holding a comma, or a number no plain decimal (nothing "
       "sent); with input checks on -10502 Ext longer than 1 or a number longer than 4, -10500 a "
       "number empty, -10510 a number no integer."},
      {"CMD_79_0_0",
       "Prints the fiscal memory report over a range of dates: the closures (Z reports) in it and "
       "their sums per tax group. Only while no receipt is open.",
       {kExt, kStartDate, kEndDate},
       {},
       kDateRangeReportCodes},
      {"CMD_94_0_0",
       "Prints the short fiscal memory report over a range of dates: the closures (Z reports) in it "
       "and their sums. Only while no receipt is open.",
       {kExt, kStartDate, kEndDate},
       {},
       kDateRangeReportCodes},
      {"CMD_95_0_0",
       "Prints the fiscal memory report over a range of closure (Z report) numbers of any length; "
       "here the report form Ext is required. Only while no receipt is open.",
       {{"Ext",
         "The report form, one character, cut to 1, required, sent right before StartNumber: 0 the "
         "short form (the closures and the sums, no lines per tax group), another character the "
         "detailed one. No comma."},
        {"StartNumber", "The first closure number."},
        {"EndNumber", "The last closure number."}},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt open); -3 "
       "Ext longer than one character or holding a comma, or a number no plain decimal (nothing "
       "sent); with input checks on -10500 a value empty, -10502 Ext longer than 1, -10510 a number "
       "no integer."},
      {"CMD_105_0_0",
       "Prints the operators report: for each operator the receipts and the sales sum of the day. "
       "Only while no receipt is open.",
       {},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt open)."},
  };
  return docs;
}

}  // namespace orbantis::cmd
