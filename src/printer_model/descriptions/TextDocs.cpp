// What the text, line, barcode and sound commands do, for a till programmer: the customer display,
// non-fiscal receipts, paper feed and cut, separator lines, barcodes, the beep and the cash drawer.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kTRGTTEXT = {"TRGT_TEXT", "The text, up to 20 characters, cut to 20."};
const ValueDoc kRecCnt = {"RecCnt", "The non-fiscal receipt's number in the day (since the last Z report)."};
const ValueDoc kGlobRecCnt = {"GlobRecCnt", "Its number over the printer's whole life."};
const ValueDoc kBCType = {"BC_Type",
                          "The barcode type, one digit 1 to 5 (the symbology the printer has under that number), cut "
                          "to 1; no comma or semicolon."};
const ValueDoc kData = {"Data", "The barcode's content, up to 32 characters, cut to 32; no comma or semicolon."};

// Result codes shared by several rows of this group.
const char* const kDisplayCodes =
    "0 shown; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the printer's reasons); with input checks on "
    "-10500 TRGT_TEXT empty, -10502 longer than 20.";
const char* const kBarcodeCodes =
    "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the printer's reasons); -3 BC_Type or Data holds "
    "a comma or semicolon (nothing sent); with input checks on -10500 a value empty, -10502 "
    "BC_Type longer than 1 or Data longer than 32, -10504 BC_Type not 1 to 5.";

}  // namespace

const std::vector<CommandDoc>& TextCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_33_0_0",
       "Clears the customer display, both lines.",
       {},
       {},
       "0 cleared; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons)."},
      {"CMD_35_0_0", "Shows a text on the lower line of the customer display.", {kTRGTTEXT}, {}, kDisplayCodes},
      {"CMD_38_0_0",
       "Opens a non-fiscal receipt (a slip that is no sale, e.g. a note or a voucher) and prints "
       "the header; CMD_42_0_0 prints its lines, CMD_39_0_0 closes it. Only while no receipt is "
       "open.",
       {},
       {kRecCnt, kGlobRecCnt},
       "0 opened; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt already "
       "open); with answer checks on -10521 a counter no integer (also empty)."},
      {"CMD_39_0_0",
       "Closes the open non-fiscal receipt: prints its end and its number.",
       {},
       {kRecCnt, kGlobRecCnt},
       "0 closed; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no non-fiscal "
       "receipt open); with answer checks on -10521 a counter no integer (also empty)."},
      {"CMD_42_0_0",
       "Prints a text in the open non-fiscal receipt; a text wider than the paper goes on over "
       "further lines.",
       {{"TRGT_TEXT",
         "The text, sent whole: no length limit and no cut, but the whole data field takes at most "
         "219 bytes."}},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no non-fiscal "
       "receipt open; too long: \"The data field is longer than 219 bytes; nothing was sent to the "
       "printer.\"); with input checks on -10500 TRGT_TEXT empty."},
      {"CMD_44_0_0",
       "Feeds the paper by a number of empty lines.",
       {{"TRGT_LINES", "The number of lines, 1 to 99."}},
       {},
       "0 fed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); -3 TRGT_LINES no plain "
       "decimal (nothing sent); with input checks on -10500 TRGT_LINES empty, -10511 no integer or "
       "above 99, -10512 below 1."},
      {"CMD_45_0_0",
       "Cuts the paper.",
       {},
       {},
       "0 cut; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons)."},
      {"CMD_47_0_0", "Shows a text on the upper line of the customer display.", {kTRGTTEXT}, {}, kDisplayCodes},
      {"CMD_80_0_0",
       "Makes the printer sound (beep).",
       {{"SoundData",
         "The sound's data, sent exactly as written (no check but present, no cut); the printer "
         "judges its form."}},
       {},
       "0 done; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons; too long: \"The data "
       "field is longer than 219 bytes; nothing was sent to the printer.\"); with input checks on "
       "-10500 SoundData empty."},
      {"CMD_84_0_0",
       "Prints a barcode: its type and content, with a comma between them on the wire.",
       {kBCType, kData},
       {},
       kBarcodeCodes},
      {"CMD_84_0_1",
       "Prints a barcode, as CMD_84_0_0 with a semicolon between type and content on the wire.",
       {kBCType, kData},
       {},
       kBarcodeCodes},
      {"CMD_92_0_0",
       "Prints a separator line across the paper.",
       {{"LineType", "The line: 1 dashes (-), 2 double line (=), 3 stars (*)."}},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with input checks on "
       "-10500 LineType empty, -10504 LineType not 1, 2 or 3."},
      {"CMD_100_0_0",
       "Shows a text over both lines of the customer display: the first 20 characters on the upper "
       "line, the next 20 on the lower.",
       {{"Input_Text", "The text, up to 40 characters, cut to 40."}},
       {},
       "0 shown; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); with input checks on "
       "-10500 Input_Text empty, -10502 longer than 40."},
      {"CMD_106_0_0",
       "Opens the cash drawer with an impulse of the given length.",
       {{"mSec", "The impulse's length in milliseconds, 0 to 100."}},
       {},
       "0 done; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons); -3 mSec no plain decimal "
       "(nothing sent); with input checks on -10500 mSec empty, -10511 no integer or above 100, "
       "-10512 below 0."},
  };
  return docs;
}

}  // namespace orbantis::cmd
