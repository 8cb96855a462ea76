// What the electronic journal commands do, for a till programmer.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {
namespace {

// ---------------------------------------------------------------- values

std::vector<ValueDoc> month() {
  return {
      {"TRGT_YEAR",
       "The month whose documents to take, 1 to 12 (a month, whatever the name says); up to 2 characters (cut to 2)."}};
}

std::vector<ValueDoc> period() {
  return {{"ZReceipt1",
           "The start of the period: DDMMYY (from the day's start) or DDMMYYhhmm, e.g. 0112260800; up to 10 characters "
           "(cut to 10), no \",\"."},
          {"ZReceipt2",
           "The end of the period: DDMMYY (to the day's end) or DDMMYYhhmm; up to 10 characters (cut to 10), no \",\"; "
           "not compared with ZReceipt1."}};
}

std::vector<ValueDoc> documents() {
  return {{"ZReceiptNumber1", "The Z report (closure) number of the first document; any integer, never cut."},
          {"RReceiptNumber2", "The first document's number within that Z report's day; any integer, never cut."},
          {"ZReceiptNumber3", "The Z report number of the last document; any integer, never cut."},
          {"RReceiptNumber4",
           "The last document's number within that Z report's day; any integer, never cut. The range is not checked "
           "here: the printer judges it."}};
}

const ValueDoc kJournalStatus = {"FP_ANSWER", "P done, F refused or nothing matched; the till must check for P."};

// The whole answer: everything after the letter and its separator.
std::vector<ValueDoc> wholeAnswer() {
  return {kJournalStatus,
          {"ANSWER_TEXT",
           "The rest of the answer after the letter and its separator, commas included (e.g. the number of documents "
           "printed)."}};
}

// The answer split at ",": its second field only.
std::vector<ValueDoc> splitAnswer(const char* text) { return {kJournalStatus, {"ANSWER_TEXT", text}}; }

const char* const kPrinted = "The answer's second field, up to its next \",\": the number of documents printed.";

// ---------------------------------------------------------------- codes

const char* const kNoValueCodes =
    "0 answered (check FP_ANSWER); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons). With answer checks on: -10524 no "
    "FP_ANSWER, -10515 FP_ANSWER neither P nor F.";
const char* const kMonthCodes =
    "0 answered (check FP_ANSWER); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 TRGT_YEAR not a plain number "
    "(nothing sent). With input checks on: -10500 empty, -10502 over 2 characters, -10511 no integer or above 12, "
    "-10512 below 1; with answer checks on: -10524 no FP_ANSWER, -10515 FP_ANSWER neither P nor F.";
const char* const kPeriodCodes =
    "0 answered (check FP_ANSWER); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused, e.g. a receipt open or a malformed date: \"Some of the status bytes:\" and the reasons); -3 a bound "
    "holds \",\" (nothing sent). With input checks on: -10500 empty, -10502 over 10 characters; with answer checks on: "
    "-10524 no FP_ANSWER, -10515 FP_ANSWER neither P nor F.";
const char* const kDocumentCodes =
    "0 answered (check FP_ANSWER); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a number not plain digits "
    "(nothing sent). With input checks on: -10500 empty, -10510 no integer; with answer checks on: -10524 no "
    "FP_ANSWER, -10515 FP_ANSWER neither P nor F.";

}  // namespace

const std::vector<CommandDoc>& JournalCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_120_0",
       "Reads the electronic journal's information: its number, the first and last Z report it holds, and its lines "
       "written, free and in all.",
       {},
       {{"JNum", "The electronic journal's number; a new journal counts it up."},
        {"LastZNumber", "The number of the last Z report (closure)."},
        {"FirstZNumber", "The number of the first Z report the journal holds."},
        {"LWLN", "The number of lines written in the journal (the last written line)."},
        {"FreeLines", "The lines still free."},
        {"TotLines", "The journal's capacity, in lines."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons). With answer checks on: -10524 a value missing, -10521 JNum no integer."},

      // Option F: the answer comes back whole.
      {"CMD_120_1",
       "Prints the whole electronic journal, every document in full (option F). Only while no receipt is open.",
       {},
       wholeAnswer(),
       kNoValueCodes},
      {"CMD_120_2", "Prints the electronic journal's documents of one month, in full (option F, selector F).", month(),
       wholeAnswer(), kMonthCodes},
      {"CMD_120_3",
       "Prints the electronic journal's documents of a period given by date and time, in full (option F, selector F).",
       period(), wholeAnswer(), kPeriodCodes},
      {"CMD_120_4",
       "Prints the electronic journal's documents from one Z report and document number to another, in full (option F, "
       "selector F).",
       documents(), wholeAnswer(), kDocumentCodes},
      {"CMD_120_5", "Prints the electronic journal's documents of one month, in full (option F, selector L).", month(),
       wholeAnswer(), kMonthCodes},
      {"CMD_120_6",
       "Prints the electronic journal's documents of a period given by date and time, in full (option F, selector L).",
       period(), wholeAnswer(), kPeriodCodes},
      {"CMD_120_7",
       "Prints the electronic journal's documents from one Z report and document number to another, in full (option F, "
       "selector L).",
       documents(), wholeAnswer(), kDocumentCodes},
      {"CMD_120_8", "Prints the electronic journal's documents of one month, in full (option F, selector I).", month(),
       wholeAnswer(), kMonthCodes},
      {"CMD_120_9",
       "Prints the electronic journal's documents of a period given by date and time, in full (option F, selector I).",
       period(), wholeAnswer(), kPeriodCodes},
      {"CMD_120_10",
       "Prints the electronic journal's documents from one Z report and document number to another, in full (option F, "
       "selector I).",
       documents(), wholeAnswer(), kDocumentCodes},

      // Option PL: long form, every line of every document.
      {"CMD_120_11",
       "Prints the whole electronic journal in long form, every line of every document (option PL). Only while no "
       "receipt is open.",
       {},
       splitAnswer(kPrinted),
       kNoValueCodes},
      {"CMD_120_12",
       "Prints the electronic journal's documents of a period given by date and time, in long form (option PL, "
       "selector F).",
       period(), splitAnswer(kPrinted), kPeriodCodes},
      {"CMD_120_13",
       "Prints the electronic journal's documents from one Z report and document number to another, in long form "
       "(option PL, selector F).",
       documents(), splitAnswer(kPrinted), kDocumentCodes},
      {"CMD_120_14",
       "Prints the electronic journal's documents of a period given by date and time, in long form (option PL, "
       "selector L).",
       period(), splitAnswer(kPrinted), kPeriodCodes},
      {"CMD_120_15",
       "Prints the electronic journal's documents from one Z report and document number to another, in long form "
       "(option PL, selector L).",
       documents(), splitAnswer(kPrinted), kDocumentCodes},
      {"CMD_120_16",
       "Prints the electronic journal's documents of a period given by date and time, in long form (option PL, "
       "selector I).",
       period(), splitAnswer(kPrinted), kPeriodCodes},
      {"CMD_120_17",
       "Prints the electronic journal's documents from one Z report and document number to another, in long form "
       "(option PL, selector I).",
       documents(), splitAnswer(kPrinted), kDocumentCodes},

      // Option PS: short form, one line per document.
      {"CMD_120_18",
       "Prints the whole electronic journal in short form: one line per document with its Z report number, document "
       "number, date and time (option PS). Only while no receipt is open.",
       {},
       splitAnswer(kPrinted),
       kNoValueCodes},
      {"CMD_120_19",
       "Prints the electronic journal's documents of a period given by date and time, in short form (option PS, "
       "selector F).",
       period(), splitAnswer(kPrinted), kPeriodCodes},
      {"CMD_120_20",
       "Prints the electronic journal's documents from one Z report and document number to another, in short form "
       "(option PS, selector F).",
       documents(), splitAnswer(kPrinted), kDocumentCodes},
      {"CMD_120_21",
       "Prints the electronic journal's documents of a period given by date and time, in short form (option PS, "
       "selector L).",
       period(), splitAnswer(kPrinted), kPeriodCodes},
      {"CMD_120_22",
       "Prints the electronic journal's documents from one Z report and document number to another, in short form "
       "(option PS, selector L).",
       documents(), splitAnswer(kPrinted), kDocumentCodes},
      {"CMD_120_23",
       "Prints the electronic journal's documents of a period given by date and time, in short form (option PS, "
       "selector I).",
       period(), splitAnswer(kPrinted), kPeriodCodes},
      {"CMD_120_24",
       "Prints the electronic journal's documents from one Z report and document number to another, in short form "
       "(option PS, selector I).",
       documents(), splitAnswer(kPrinted), kDocumentCodes},

      {"CMD_120_25",
       "Starts a new electronic journal (option N). The printer allows it only right after a Z report, so that no day "
       "is split between two journals.",
       {},
       {kJournalStatus,
        {"ANSWER_TEXT", "The rest of the answer after the letter and its separator: the new journal's number."}},
       kNoValueCodes},
      {"CMD_120_26",
       "Checks the electronic journal (option CL) and answers the number of lines written.",
       {},
       splitAnswer("The answer's second field, up to its next \",\": the number of lines written."),
       kNoValueCodes},
      {"CMD_120_27",
       "Checks the electronic journal (option CS) and answers the number of lines written.",
       {},
       splitAnswer("The answer's second field, up to its next \",\": the number of lines written."),
       kNoValueCodes},
  };
  return docs;
}

}  // namespace orbantis::cmd
