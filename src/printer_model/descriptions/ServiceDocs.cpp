// What the logo rows and service commands do, for a till programmer.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kRowNum = {"RowNum", "The row, 0 (top) to 95."};

}  // namespace

const std::vector<CommandDoc>& ServiceCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_115_0",
       "Writes one row of the printer's logo picture, which has 96 rows of 576 dots. saveLogoToPrinter sends a whole "
       "picture row by row with this command.",
       {kRowNum,
        {"RowData",
         "The row's dots as up to 144 hexadecimal digits, two per byte (72 bytes), the most significant bit the "
         "leftmost dot, a set bit dark; a shorter row leaves the rest white. Sent as given, never cut, no \",\"."}},
       {},
       "0 written; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a row "
       "that is no hexadecimal: \"Some of the status bytes:\" and the reasons), also when the field passes 219 bytes "
       "(nothing sent); -3 RowNum not a plain number or RowData holding \",\" (nothing sent). With input checks on: "
       "-10500 a value empty, -10511 RowNum no integer or above 95, -10512 below 0."},

      {"CMD_115_1",
       "Reads one row of the printer's logo back. getLogoFromPrinter reads the whole picture row by row with this "
       "command.",
       {kRowNum},
       {{"RowData",
         "The row's dots as 144 hexadecimal digits, two per byte, the most significant bit the leftmost dot, a set bit "
         "dark."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a row "
       "over 95: \"Some of the status bytes:\" and the reasons); -3 RowNum not a plain number (nothing sent). With "
       "input checks on: -10500 empty, -10511 no integer or above 95, -10512 below 0; with answer checks on: -10524 "
       "RowData missing."},

      {"CMD_116_0",
       "Reads a block of the printer's memory, for service and diagnosis.",
       {{"TRGT_ADDR", "The start address, 0 to 262143 (3FFFFh), up to 5 characters (cut to 5)."},
        {"BlockLength", "The number of bytes to read, 1 to 64."}},
       {{"AnswerData", "The bytes read, as the printer sends them (hexadecimal digits), up to the first \",\"."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. an "
       "address out of range: \"Some of the status bytes:\" and the reasons); -3 a value not a plain number (nothing "
       "sent). With input checks on: -10500 empty, -10502 address over 5 characters, -10511 no integer or above 262143 "
       "(length above 64), -10512 below 0 (length below 1); with answer checks on: -10524 AnswerData missing."},

      {"CMD_121_0_0",
       "Reads memory data of the printer, for service and diagnosis. The values go out as given: no input check runs "
       "here, even with input checks on.",
       {{"Address", "The start address, sent as given (empty too), no \",\"."},
        {"Bytes", "The number of bytes to read, sent as given (empty too), no \",\"."}},
       {{"Data",
         "The data read, up to the first \",\", \";\", LF, TAB or space of the answer (it never holds one of them)."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a bad "
       "address or length: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" (nothing sent). With "
       "answer checks on: -10524 Data empty (also when the answer starts with one of its separators)."},

      {"CMD_110_0",
       "Reads the day's payment totals by payment mode (cash, credit, debit, cheque, modes I to L), the current Z "
       "report number and the last fiscal receipt number.",
       {},
       {{"Cash", "The day's cash payments."},
        {"Credit", "The day's credit payments."},
        {"Debit", "The day's debit payments."},
        {"Cheque", "The day's cheque payments."},
        {"Pay_I", "The day's payments in mode I."},
        {"Pay_J", "The day's payments in mode J; may be empty."},
        {"Pay_K", "The day's payments in mode K; may be empty."},
        {"Pay_L", "The day's payments in mode L; may be empty."},
        {"Closure", "The number the coming Z report (closure) of the day will have."},
        {"Receipt", "The number of the last fiscal receipt."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons). With answer checks on: -10524 a value missing (Pay_J to Pay_L may be empty), "
       "-10521 Receipt no integer."},

      {"CMD_112_0",
       "Reads an operator's figures since the last Z report: receipts, sales, discounts, markups and voids, with the "
       "operator's name and password.",
       {{"OperatorNumber", "The operator's number, 1 to 16."}},
       {{"ReceiptsNumber", "The number of receipts the operator issued."},
        {"RegisteredSalesNumber", "The number of sales registered."},
        {"TotalAccumulatedSum", "The sum of the sales."},
        {"DiscountsNumber", "The number of discounts."},
        {"TotalDiscountsNumber", "The sum of the discounts."},
        {"MarkUpNumber", "The number of markups."},
        {"TotalMarkUpNumber", "The sum of the markups."},
        {"VoidNumber", "The number of voids."},
        {"VoidsTotal", "The sum of the voids."},
        {"OperatorName", "The operator's name."},
        {"OperatorPassword", "The operator's password."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons); -3 OperatorNumber not a plain number (nothing sent). With input checks on: "
       "-10500 empty, -10510 no integer, -10511 above 16, -10512 below 1; with answer checks on: -10524 a figure "
       "missing, -10521 a count of receipts or sales no integer, -10516 another figure no number."},

      {"CMD_113_0",
       "Reads the printer's document counters: fiscal receipts, non-fiscal receipts and all documents printed.",
       {},
       {{"Fiscal", "The number of fiscal receipts."},
        {"NonFiscal", "The number of non-fiscal receipts."},
        {"Document", "The number of documents printed."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons). With answer checks on: -10524 a counter missing, -10521 a counter no "
       "integer."},

      {"CMD_109_0",
       "Prints a duplicate of the last fiscal receipt. Only one duplicate per receipt, and only while no receipt is "
       "open.",
       {{"Count", "The number of copies: 1, the only value accepted (\"01\" passes and goes out as \"01\")."}},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "duplicate already printed, no receipt yet or a receipt open: \"Some of the status bytes:\" and the reasons); "
       "-3 Count not a plain number (nothing sent). With input checks on: -10500 empty, -10511 no integer or above 1, "
       "-10512 below 1."},

      {"CMD_117_0",
       "Sends command 117, which carries no data and changes nothing on the printer: a 0 shows that the printer "
       "answers and reports no error.",
       {},
       {},
       "0 the printer answered without an error bit; -4 the exchange failed (no answer: \"Please check the link with "
       "this fiscal!\"; an error bit set, e.g. no paper: \"Some of the status bytes:\" and the reasons)."},

      {"CMD_118_0",
       "Reads how many seconds the printer has been running since it was switched on.",
       {},
       {{"Seconds", "The seconds since power-on."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons). With answer checks on: -10524 Seconds missing."},
  };
  return docs;
}

}  // namespace orbantis::cmd
