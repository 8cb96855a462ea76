// What the status and information reads do, for a till programmer: status bytes, identity, clock,
// totals by tax group, counters and the TIN and VRN.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kS0 = {"S0",
                      "Status byte 0 as a decimal text, 0 to 255 (bit 7 is reserved and usually set, so 128 means "
                      "no other bit): bit 0 syntax error, 1 invalid command, 2 clock not set, 3 display "
                      "disconnected, 4 printing mechanism failure, 5 general error, 6 cover open."};
const ValueDoc kS1 = {"S1",
                      "Status byte 1: bit 0 a sum overflowed, 1 command not allowed in the current mode, 2 "
                      "operational memory cleared, 3 battery low, 4 RAM failure after power on, 5 cash drawer open."};
const ValueDoc kS2 = {"S2",
                      "Status byte 2: bit 0 no paper, 1 paper near end, 2 electronic journal full, 3 fiscal "
                      "receipt open, 4 electronic journal near full, 5 non-fiscal receipt open, 6 electronic "
                      "journal not empty."};
const ValueDoc kS3 = {"S3",
                      "Status byte 3: bits 0 to 6 the switches SW1 to SW7 (transparent display, no obligatory "
                      "display, half cut, automatic cut, unused, and two bits of the serial port speed)."};
const ValueDoc kS4 = {"S4",
                      "Status byte 4: bit 0 error writing the fiscal memory, 1 TIN and VRN set, 2 serial number "
                      "set, 3 room for 30 records or fewer in the fiscal memory, 4 fiscal memory full, 5 any "
                      "fiscal memory error."};
const ValueDoc kS5 = {"S5",
                      "Status byte 5: bit 0 fiscal memory read-only, 1 fiscal memory formatted, 2 last closure not "
                      "OK, 3 fiscal mode, 4 tax rates entered, 5 error reading the fiscal memory."};
const ValueDoc kDD = {"DD", "The day, 2 digits."};
const ValueDoc kMM = {"MM", "The month, 2 digits."};
const ValueDoc kHH = {"HH", "The hour, 00 to 23."};
const ValueDoc kSS = {"SS", "The seconds, 2 digits."};
const ValueDoc kOption = {"Option", "0 the turnover (sales) of each tax group, 1 the tax (VAT) of each group."};
const ValueDoc kFPRESULT = {"FP_RESULT", "P read, F failed."};
const ValueDoc kFreeRecords = {"FreeRecords", "The number of free fiscal memory records."};

// Result codes shared by several rows of this group.
const char* const kFreeRecordsCodes =
    "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
    "-10524 a value missing, -10515 FP_RESULT not P or F, -10521 FreeRecords no integer.";

}  // namespace

const std::vector<CommandDoc>& StatusCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_74_0_0",
       "Reads the printer's six status bytes: paper, cover, cash drawer, open receipt, fiscal "
       "memory and error bits. W first waits until the printer has printed everything; X asks for "
       "the extended status.",
       {{"Option",
         "W waits for the printing to finish before answering, X the extended status. Exactly W or X, "
         "capital; tested whether input checks are on or off."}},
       {kS0, kS1, kS2, kS3, kS4, kS5},
       "0 read, even with error bits set; -74001 Option empty, -74002 Option not W or X (nothing "
       "sent); -4 no valid answer came (S0 to S5 stay empty). The last error text is left as it "
       "was; only the last error code is set when the result is negative."},
      {"CMD_74_0_1",
       "Reads the printer's six status bytes (paper, cover, cash drawer, open receipt, fiscal "
       "memory, errors) with no option: CMD_74_0_0 without W or X.",
       {},
       {kS0, kS1, kS2, kS3, kS4, kS5},
       "0 read, even with error bits set; -4 no valid answer came (S0 to S5 stay empty). The last "
       "error text is left as it was; only the last error code is set when the result is negative."},
      {"CMD_90_0_0",
       "Reads the printer's identity: model name, firmware version and date, firmware check sum, "
       "configuration switches and serial number. The driver reads it when it connects.",
       {},
       {{"PrinterName", "The printer's model name."},
        {"FwRev_FwDate", "The firmware version and its date, e.g. 1.00 01-03-24."},
        {"Chk", "The firmware's check sum, hexadecimal (e.g. 7E4A)."},
        {"ConfigSwitches", "The configuration switches SW1 to SW8 as a row of 0 and 1, SW1 first."},
        {"Serial", "The printer's serial number, e.g. OB00000001."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a value missing (an answer of fewer than five items)."},
      {"CMD_62_0_0",
       "Reads the printer's clock: the date and time as one text.",
       {},
       {{"FP_ANSWER", "The date and time, DD-MM-YY HH:MM:SS (17 characters)."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10513 FP_ANSWER longer than 17, -10524 FP_ANSWER empty."},
      {"CMD_62_0_1",
       "Reads the printer's clock, split into day, month, year, hour, minutes and seconds.",
       {},
       {kDD, kMM, {"YY", "The year, 2 digits (24 for 2024)."}, kHH, {"MINUTES", "The minutes, 2 digits."}, kSS},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a part missing (an answer shorter than 17 characters)."},
      {"CMD_86_0_0",
       "Reads the date and time of the last record written to the fiscal memory, e.g. the last Z "
       "report.",
       {},
       {{"LFMR_DT", "The date and time, DD-MM-YYYY HH:MM:SS (19 characters)."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 LFMR_DT empty, -10513 longer than 19."},
      {"CMD_86_0_1",
       "Reads the date and time of the last fiscal memory record (e.g. the last Z report), split "
       "into day, month, year, hour, minutes and seconds.",
       {},
       {kDD, kMM, {"YYYY", "The year, 4 digits."}, kHH, {"MMM", "The minutes, 2 digits."}, kSS},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a part missing, -10513 a part longer than its 2 (year 4) digits."},
      {"CMD_64_0_0",
       "Reads the last daily closure (Z report) from the fiscal memory: its number, its totals by "
       "tax group and its date.",
       {kOption},
       {{"Closure", "The number of the last Z report (0 when there is none yet)."},
        {"TotA", "Tax group A: the closure's turnover (Option 0) or tax (Option 1)."},
        {"TotB", "Tax group B: the closure's turnover (Option 0) or tax (Option 1)."},
        {"TotC", "Tax group C: the closure's turnover (Option 0) or tax (Option 1)."},
        {"TotD", "Tax group D: the closure's turnover (Option 0) or tax (Option 1)."},
        {"TotE", "Tax group E: the closure's turnover (Option 0) or tax (Option 1)."},
        {"TotF", "Tax group F: the closure's turnover (Option 0) or tax (Option 1)."},
        {"ClosureDate", "The closure's date, DDMMYY."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with input checks on "
       "-10500 Option empty, -10504 Option not 0 or 1; with answer checks on -10524 a value "
       "missing, -10513 ClosureDate longer than 6."},
      {"CMD_65_0_0",
       "Reads the day's totals by tax group, since the last Z report: the turnover or the tax (VAT).",
       {kOption},
       {{"TotA", "Tax group A: the day's turnover (Option 0) or tax (Option 1)."},
        {"TotB", "Tax group B: the day's turnover (Option 0) or tax (Option 1)."},
        {"TotC", "Tax group C: the day's turnover (Option 0) or tax (Option 1)."},
        {"TotD", "Tax group D: the day's turnover (Option 0) or tax (Option 1)."},
        {"TotE", "Tax group E: the day's turnover (Option 0) or tax (Option 1)."},
        {"TotF", "Tax group F: the day's turnover (Option 0) or tax (Option 1)."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with input checks on "
       "-10500 Option empty, -10504 Option not 0 or 1; with answer checks on -10524 a total missing."},
      {"CMD_68_0_0",
       "Reads how many closure records are still free in the fiscal memory; every Z report takes "
       "one.",
       {},
       {{"Logical", "The number of free records, up to 4 digits."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 Logical empty, -10513 longer than 4."},
      {"CMD_76_0_0",
       "Reads the state of the fiscal transaction: whether a fiscal receipt is open, how many sales "
       "it holds, its total and what has been paid. Ask it after a lost answer to learn where a "
       "receipt stands.",
       {{"Option", "Optional, one character, cut to 1; leave it empty for the usual answer."}},
       {{"FT_Opened", "1 a fiscal receipt is open, 0 none."},
        {"Sales_Num", "The number of sales on the open receipt."},
        {"Amount", "The receipt's total so far."},
        {"Tender", "The sum paid on it so far."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with input checks on "
       "-10502 Option longer than 1; with answer checks on -10524 a value missing, -10513 FT_Opened "
       "longer than 1, -10521 Sales_Num no integer, -10516 Amount or Tender no number."},
      {"CMD_89_0_0",
       "Reads how many records are still free in the fiscal memory (command byte 97h, with the "
       "option T).",
       {},
       {kFPRESULT, kFreeRecords},
       kFreeRecordsCodes},
      {"CMD_89_0_1",
       "Reads how many records are still free in the fiscal memory (command byte 98h, no data).",
       {},
       {kFPRESULT, kFreeRecords},
       kFreeRecordsCodes},
      {"CMD_93_0_0",
       "Reads the day's discounts and surcharges (markups) since the last Z report: how many and "
       "their sums.",
       {},
       {{"DiscountsCnt", "The number of discounts given."},
        {"DiscountsSum", "The sum of those discounts, as a positive amount."},
        {"MarkupsCnt", "The number of surcharges."},
        {"MarkupsSum", "The sum of those surcharges."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a value missing, -10521 a count no integer, -10516 a sum no number."},
      {"CMD_97_0_0",
       "Reads the tax rates of tax groups A to F, in percent.",
       {},
       {{"TaxA", "The tax rate of group A, in percent (e.g. 18.00)."},
        {"TaxB", "The tax rate of group B, in percent."},
        {"TaxC", "The tax rate of group C, in percent."},
        {"TaxD", "The tax rate of group D, in percent."},
        {"TaxE", "The tax rate of group E, in percent."},
        {"TaxF", "The tax rate of group F, in percent."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a rate missing, -10516 a rate no number."},
      {"CMD_99_0_0",
       "Reads the TIN and VRN stored in the printer (set with CMD_98_0_0).",
       {},
       {{"TIN", "The tax identification number, exactly 9 characters."},
        {"VRN", "The VAT registration number, exactly 9 characters."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a value missing, -10513 longer than 9, -10514 shorter than 9."},
      {"CMD_103_0_0",
       "Reads the open receipt's sums by tax group and whether it can still be cancelled (void).",
       {},
       {{"CanVd",
         "1 the open receipt can still be cancelled with CMD_60_0_0 (no payment taken yet); 0 it "
         "cannot, or no receipt is open."},
        {"TaxA", "The receipt's sum in tax group A so far."},
        {"TaxB", "The receipt's sum in tax group B so far."},
        {"TaxC", "The receipt's sum in tax group C so far."},
        {"TaxD", "The receipt's sum in tax group D so far."},
        {"TaxE", "The receipt's sum in tax group E so far."},
        {"TaxF", "The receipt's sum in tax group F so far."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with answer checks on "
       "-10524 a value missing, -10515 CanVd not 0 or 1, -10516 a sum no number."},
  };
  return docs;
}

}  // namespace orbantis::cmd
