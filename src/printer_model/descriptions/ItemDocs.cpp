// What the item (PLU) database commands do, for a till programmer.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kPLU = {"PLU", "The item's PLU number, 1 to 999999999."};
const ValueDoc kErrorCode = {"ErrorCode", "P done, F refused (e.g. no item with this PLU)."};
const ValueDoc kFreeNumberCode = {"ErrorCode", "P a free number was found, F none."};
const ValueDoc kANSWERPLU = {"ANSWER_PLU", "The free PLU number (nine digits with leading zeros); empty after F."};
const ValueDoc kOption = {
    "Option",
    "S the sales report (quantity and total per item), P the programmed items (price, group); one character (cut "
    "to 1)."};

// Result codes shared by several rows of this group.
const char* const kFreeNumberCodes =
    "0 read (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 PLU not a plain number "
    "(nothing sent). With input checks on: -10500 empty, -10510 no integer, -10511 above 999999999, -10512 below 1; "
    "with answer checks on (only after P): -10524 a value missing, -10515 ErrorCode neither P nor F, -10521 PLU no "
    "integer, -10522 above 999999999, -10523 below 1.";

// The reads of the nearest item above or below a PLU number.
const char* const kNeighbourReadCodes =
    "0 read (check ErrorCode: F means no item there); -5 the exchange failed (no answer: \"Please check the link "
    "with this fiscal!\"; refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 PLU not "
    "a plain number (nothing sent). With input checks on: -10500 empty, -10510 no integer, -10511 above 999999999, "
    "-10512 below 1; with answer checks on (only after P): -10524 a value missing, -10515 ErrorCode neither P nor "
    "F, -10522 PLU no integer or too big, -10523 PLU below 1, -10513 a value too long, -10516 a price, total or "
    "quantity no number.";

// The reads of the first item with sales at or above, or the last at or
// below, a PLU number.
const char* const kSalesReadCodes =
    "0 read (check ErrorCode: F means no such item); -5 the exchange failed (no answer: \"Please check the link "
    "with this fiscal!\"; refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 PLU not "
    "a plain number (nothing sent). With input checks on: -10500 empty, -10510 no integer, -10511 above 999999999, "
    "-10512 below 1; with answer checks on (only after P): -10524 a value missing, -10515 ErrorCode neither P nor "
    "F, -10522 PLU no integer or too big, -10523 PLU below 1, -10513 a value too long, -10516 a price, total or "
    "quantity no number.";

// The item record that the reads by selector letter answer.
std::vector<ValueDoc> itemRecord(const char* pluMeaning, const char* groupMeaning) {
  return {{"ErrorCode", "P an item was found and its record follows, F none: no record, the other values stay empty."},
          {"ANSWER_PLU", pluMeaning},
          {"TaxGr", "The item's tax group letter, A to F."},
          {"Group", groupMeaning},
          {"SPrice", "The item's selling price."},
          {"Total", "The item's sales total (turnover)."},
          {"Sold", "The quantity sold."},
          {"Available", "The stock: the quantity available."},
          {"ItemName", "The item's name, up to 36 characters; a name holding \",\" comes back up to its first \",\"."}};
}

const char* const kPlu = "The item's PLU number, 1 to 999999999.";
const char* const kGroup = "The item's department group, 1 to 99 (two digits, e.g. 05).";

}  // namespace

const std::vector<CommandDoc>& ItemCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_107_0_0",
       "Reads the figures of the item (PLU) database: how many items it holds, how many are programmed and how long an "
       "item name may be.",
       {},
       {{"ErrorCode", "Always empty: this answer has no status letter."},
        {"Total", "The number of items the database can hold."},
        {"Progr", "The number of items programmed."},
        {"Len", "The longest item name, in characters."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons). With answer checks on: -10524 a figure missing, -10521 a figure no integer."},

      {"CMD_107_1_0",
       "Programs an item (PLU) in the database: tax group, department, price, stock and name. An item that exists is "
       "overwritten and keeps its sales; only while no receipt is open.",
       {{"TaxGr", "The VAT tax group: A, B, C, D, E or F (one character, cut to 1)."},
        kPLU,
        {"Group", "The item's department group, 1 to 99."},
        {"SPrice", "The selling price, up to 999999.99, e.g. 2.50 (plain digits and one point)."},
        {"Replace",
         "How Quantity applies to an item that exists: A adds it to the stock; empty makes it the new stock. One "
         "character at most (cut to 1)."},
        {"Quantity", "The stock quantity, a decimal number, e.g. 10 or 2.5 (no lower bound)."},
        {"ItemName", "The item's name; required, up to 36 characters (cut to 36), no \",\"."}},
       {{"ErrorCode", "P the item was programmed, F the printer refused it (e.g. the database is full)."},
        {"FreeItemsNumber", "The number of free places left in the database."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open or a bad value: \"Some of the status bytes:\" and the reasons); -3 TaxGr or "
       "Replace longer than one character, a text holding \",\" or a number not plain digits (nothing sent). With "
       "input checks on: -10500 empty, -10502 TaxGr or Replace over 1 or name over 36 characters, -10504 TaxGr not A "
       "to F, -10511 PLU or Group no integer or too big, -10512 below 1, -10506 price no number or above 999999.99, "
       "-10505 quantity no number; with answer checks on: -10524 no ErrorCode, -10515 neither P nor F."},

      {"CMD_107_2_0",
       "Changes an item's stock: adds Quantity to the quantity available (a negative one takes it off).",
       {kPLU, {"Quantity", "The quantity to add, a decimal number, e.g. 5 or -1.5 (no lower bound)."}},
       {kErrorCode},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a value not a plain number "
       "(nothing sent). With input checks on: -10500 empty, -10511 PLU no integer or too big, -10512 below 1, -10505 "
       "quantity no number; with answer checks on: -10524 no ErrorCode, -10515 neither P nor F."},

      {"CMD_107_3_0",
       "Changes an item's selling price.",
       {kPLU, {"SPrice", "The new price, up to 999999.99, e.g. 2.50 (plain digits and one point)."}},
       {kErrorCode},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a value not a plain number "
       "(nothing sent). With input checks on: -10500 empty, -10511 PLU no integer or too big, -10512 below 1, -10505 "
       "price no number, -10506 above 999999.99; with answer checks on: -10524 no ErrorCode, -10515 neither P nor F."},

      {"CMD_107_4_0",
       "Deletes every item of the item (PLU) database (option D with A).",
       {},
       {{"ErrorCode", "P done, F refused."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons). With answer checks on: -10524 no "
       "ErrorCode, -10515 neither P nor F."},

      {"CMD_107_4_1",
       "Deletes one item from the item (PLU) database.",
       {{"PLU", "The item's PLU number; any integer is sent, the printer judges it."}},
       {{"ErrorCode", "P deleted, F refused (e.g. no item with this PLU)."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 PLU not a plain number "
       "(nothing sent). With input checks on: -10500 empty, -10510 no integer; with answer checks on: -10524 no "
       "ErrorCode, -10515 neither P nor F."},

      {"CMD_107_4_2",
       "Deletes the items of a PLU range from the item database.",
       {{"PLU1", "The first PLU number of the range; any integer is sent."},
        {"PLU2", "The last PLU number of the range; any integer, not compared with PLU1 (the printer judges)."}},
       {{"ErrorCode", "P deleted, F refused (e.g. no item in the range, or PLU1 above PLU2)."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a PLU not a plain number "
       "(nothing sent). With input checks on: -10500 empty, -10510 no integer; with answer checks on: -10524 no "
       "ErrorCode, -10515 neither P nor F."},

      {"CMD_107_5_0",
       "Reads the item with exactly this PLU number: tax group, department, price, sales, stock and name (read R).",
       {{"PLU", kPlu}},
       itemRecord("The item's PLU number, nine digits with leading zeros (at most 9 characters are taken).", kGroup),
       "0 read (check ErrorCode: F means no such item); -5 the exchange failed (no answer: \"Please check the link "
       "with this fiscal!\"; refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 PLU not "
       "a plain number (nothing sent). With input checks on: -10500 empty, -10510 no integer, -10511 above 999999999, "
       "-10512 below 1; with answer checks on (only after P): -10524 a value missing, -10515 ErrorCode neither P nor "
       "F, -10521 PLU no integer, -10522/-10523 PLU or Group out of range, -10513 a value too long, -10514 Group not "
       "two digits, -10516 a price, total or quantity no number."},

      {"CMD_107_6_0",
       "Reads the first item at or above this PLU number (read F): use it to walk the item database upwards.",
       {{"PLU", kPlu}},
       itemRecord(kPlu, kGroup),
       kNeighbourReadCodes},

      {"CMD_107_7_0",
       "Reads the last item at or below this PLU number (read L): use it to walk the item database downwards.",
       {{"PLU", kPlu}},
       itemRecord(kPlu, kGroup),
       kNeighbourReadCodes},

      {"CMD_107_8_0",
       "Reads the next item after the one read last (read N): repeat it after a first read to list the item database.",
       {},
       itemRecord(kPlu, kGroup),
       "0 read (check ErrorCode: F means no further item); -5 the exchange failed (no answer: \"Please check the link "
       "with this fiscal!\"; refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons). With answer "
       "checks on (only after P): -10524 a value missing, -10515 ErrorCode neither P nor F, -10522 PLU no integer or "
       "too big, -10523 PLU below 1, -10513 a value too long, -10516 a price, total or quantity no number."},

      {"CMD_107_9_0",
       "Reads the first item with sales at or above this PLU number (read f).",
       {{"PLU", kPlu}},
       itemRecord(kPlu, kGroup),
       kSalesReadCodes},

      {"CMD_107_10_0",
       "Reads the last item with sales at or below this PLU number (read l).",
       {{"PLU", kPlu}},
       itemRecord(kPlu, kGroup),
       kSalesReadCodes},

      {"CMD_107_11_0",
       "Reads the next item with sales after the one read last (read n): repeat it to list the items sold.",
       {},
       itemRecord(kPlu, kGroup),
       "0 read (check ErrorCode: F means no further item); -5 the exchange failed (no answer: \"Please check the link "
       "with this fiscal!\"; refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons). With answer "
       "checks on (only after P): -10524 a value missing, -10515 ErrorCode neither P nor F, -10522 PLU no integer or "
       "too big, -10523 PLU below 1, -10513 a value too long, -10516 a price, total or quantity no number."},

      {"CMD_107_12_0",
       "Finds the first free PLU number at or above this one (read X): where to program a new item.",
       {{"PLU", "The PLU number to search from, 1 to 999999999."}},
       {kFreeNumberCode, kANSWERPLU},
       kFreeNumberCodes},

      {"CMD_107_12_1",
       "Finds the first free PLU number at or below this one (read x).",
       {{"PLU", "The PLU number to search down from, 1 to 999999999."}},
       {kFreeNumberCode, kANSWERPLU},
       kFreeNumberCodes},

      {"CMD_111_0",
       "Prints an item report over a PLU range: the items' sales (S) or their programmed data (P). Only while no "
       "receipt is open.",
       {kOption,
        {"START_PLU", "The first PLU number of the range, from 1."},
        {"END_PLU",
         "The last PLU number of the range; any integer, not compared with START_PLU (the printer judges)."}},
       {{"ErrorCode", "P printed, F nothing printed (e.g. no item in the range)."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" or a PLU "
       "is not a plain number (nothing sent). With input checks on: -10500 empty, -10502 Option over 1 character, "
       "-10504 Option not S or P, -10510 a PLU no integer, -10512 START_PLU below 1; with answer checks on: -10524 no "
       "ErrorCode, -10515 neither P nor F."},

      {"CMD_111_1",
       "Prints an item report for one department group: the items' sales (S) or their programmed data (P). Only while "
       "no receipt is open.",
       {kOption, {"Group", "The department group, from 1 (the printer keeps 1 to 99)."}},
       {{"ErrorCode", "P printed, F nothing printed (e.g. no item in the group)."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" or Group "
       "is not a plain number (nothing sent). With input checks on: -10500 empty, -10502 Option over 1 character, "
       "-10504 Option not S or P, -10510 Group no integer, -10512 below 1; with answer checks on: -10524 no ErrorCode, "
       "-10515 neither P nor F."},

      {"CMD_111_2",
       "Prints an item report over all items: their sales (S) or their programmed data (P). Only while no receipt is "
       "open.",
       {kOption},
       {{"ErrorCode", "P printed, F nothing printed (e.g. no items)."}},
       "0 answered (check ErrorCode); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 Option holds \",\" (nothing "
       "sent). With input checks on: -10500 empty, -10502 over 1 character, -10504 not S or P; with answer checks on: "
       "-10524 no ErrorCode, -10515 neither P nor F."},
  };
  return docs;
}

}  // namespace orbantis::cmd
