// What the fiscal receipt commands do, for a till programmer: open, sell, subtotal, pay, text, close and
// cancel.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kOpCode = {"OpCode", "The operator's number, 1 to 16."};
const ValueDoc kOpPwd = {"OpPwd", "The operator's password, digits only, up to 8 (e.g. 0000)."};
const ValueDoc kTillNmb = {"TillNmb", "The till's number, up to 99999; printed on the receipt next to the operator."};
const ValueDoc kRecCnt = {"RecCnt", "The number this receipt gets in the day (counted since the last Z report)."};
const ValueDoc kGlobRecCnt = {"GlobRecCnt", "The number it gets over the printer's whole life."};
const ValueDoc kTaxCd = {"TaxCd",
                         "The tax group, one capital letter A to F, each with its tax rate set in the printer. "
                         "Exactly one character: the price follows it with no separator."};
const ValueDoc kPrice = {"Price",
                         "The unit price, up to 2 decimals, at most 99999999 (e.g. 12.50). A negative price is a "
                         "correction: it takes back a sale of the same tax group on this receipt."};
const ValueDoc kL1 = {"L1",
                      "The item's first text line (its name), cut to 36 characters; may hold commas, not TAB or LF."};
const ValueDoc kL2 = {"L2", "The item's second text line, cut to 36 characters; may hold commas, not TAB or LF."};
const ValueDoc kQuan = {"Quan",
                        "The quantity, up to 3 decimals (e.g. 1.5 for 1.5 kg), at most 99999999; the printer wants "
                        "more than 0."};
const ValueDoc kUN = {"UN",
                      "The unit of measure printed with the quantity (e.g. kg, pcs), cut to 8 characters; no *, #, "
                      "comma or semicolon."};
const ValueDoc kPerc = {"Perc",
                        "A discount or surcharge on this line in percent, -99 to 99, up to 2 decimals: negative is a "
                        "discount (-10 takes 10 % off), positive a surcharge."};
const ValueDoc kAbsSum = {"AbsSum",
                          "A discount or surcharge on this line as a sum, -99999999 to 99999999, up to 2 decimals: "
                          "negative is a discount (-1.50 takes 1.50 off), positive a surcharge."};
const ValueDoc kL2Only = {"L2",
                          "The item's text, printed as the second line while the first stays empty; cut to 36 "
                          "characters, may hold commas, not TAB or LF."};
const ValueDoc kLine = {"Line",
                        "The item's text line (its name), cut to 36 characters; may hold commas, not TAB or LF."};
const ValueDoc kToPrint = {"ToPrint",
                           "1 prints the subtotal on the receipt, 0 does not. Exactly one character: ToDisplay follows "
                           "it with no separator."};
const ValueDoc kToDisplay = {"ToDisplay", "1 shows the subtotal on the customer display, 0 does not."};
const ValueDoc kSubTotal = {"SubTotal", "The receipt's total so far, after any discount or surcharge."};
const ValueDoc kTaxA = {"TaxA", "The tax (VAT) held in the total of tax group A."};
const ValueDoc kTaxB = {"TaxB", "The tax (VAT) held in the total of tax group B."};
const ValueDoc kTaxC = {"TaxC", "The tax (VAT) held in the total of tax group C."};
const ValueDoc kTaxD = {"TaxD", "The tax (VAT) held in the total of tax group D."};
const ValueDoc kTaxE = {"TaxE", "The tax (VAT) held in the total of tax group E."};
const ValueDoc kTaxF = {"TaxF", "The tax (VAT) held in the total of tax group F."};
const ValueDoc kPaidMode = {"PaidMode",
                            "The payment mode: P cash, N credit (card), C cheque, D debit card, I J K L the payment "
                            "types programmed in the printer (named with CMD_85_0_0). Only cash gives change."};
const ValueDoc kPaidCode = {
    "PaidCode",
    "The outcome, one letter: D paid in part, an amount is still due (Amount_Out is what is "
    "due); R paid in full (Amount_Out is the change); F refused, e.g. a card over the due sum "
    "(Amount_Out is what is due); E refused, the receipt total is negative (Amount_Out is that "
    "total). P and I also pass the answer check but the software printer never sends them: treat "
    "them as not settled and read the receipt with CMD_76_0_0."};
const ValueDoc kAmountOut = {
    "Amount_Out",
    "The sum that goes with PaidCode: what is still due (D, F), the change (R) or the negative "
    "total (E)."};
const ValueDoc kPLU = {"PLU",
                       "The item's number in the printer's item list, 1 to 999999999; the printer refuses an item "
                       "it does not have."};
const ValueDoc kPluQuan = {"Quan", "The quantity, 0.001 to 99999999, up to 3 decimals (e.g. 1.5 for 1.5 kg)."};

// Result codes shared by several rows of this group.
const char* const kPlainSaleCodes =
    "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
    "open, a payment already taken, a correction larger than its group's sales); -3 TaxCd is "
    "longer than one character or Price is no plain decimal (nothing sent); with input checks on "
    "-10500 a value empty, -10504 TaxCd not A to F, -10506 Price no number or above its bound.";
const char* const kTwoLineSaleCodes =
    "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
    "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
    "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
    "TAB or LF, TaxCd is longer than one character, Price or Quan is no plain decimal or UN "
    "holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L1 or L2 "
    "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price no number or "
    "above its bound, -10508 Quan no number or above 99999999.";

}  // namespace

const std::vector<CommandDoc>& ReceiptCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_48_0_0",
       "Opens a fiscal receipt for an operator at a till and prints its head. Every sale, discount, "
       "payment and the close then go on this receipt; only one receipt can be open at a time.",
       {kOpCode, kOpPwd, kTillNmb},
       {kRecCnt, kGlobRecCnt},
       "0 opened; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt already "
       "open, a wrong password, the fiscal memory full); -3 a value is no plain decimal (nothing "
       "sent); with input checks on -10500 a value empty, -10511 a value no integer or above its "
       "bound, -10512 OpCode below 1; with answer checks on -10521 a counter no integer (also "
       "empty). Extension of ORBANTIS: -20 a whole receipt sent with printReceipt is not settled "
       "on this printer yet (nothing sent; the text names its key and what to do)."},
      {"CMD_48_0_1",
       "Opens a fiscal receipt made out to a buyer (a company): as CMD_48_0_0, and the buyer's name "
       "and address lines, TIN and VRN are printed in its head.",
       {kOpCode,
        kOpPwd,
        kTillNmb,
        {"BuyerLine1",
         "The buyer's first line (e.g. the company name), sent whole: no length limit, no cut, no "
         "comma."},
        {"BuyerLine2", "The buyer's second line (e.g. the street), sent whole, no comma."},
        {"BuyerLine3", "The buyer's third line (e.g. the town), sent whole, no comma."},
        {"TIN", "The buyer's tax identification number (9 characters), sent whole, no comma."},
        {"VRN", "The buyer's VAT registration number (9 characters), sent whole, no comma."}},
       {kRecCnt, kGlobRecCnt},
       "0 opened; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. a receipt already "
       "open, a wrong password; too long: \"The data field is longer than 219 bytes; nothing was "
       "sent to the printer.\"); -3 a number no plain decimal or a buyer value holding a comma "
       "(nothing sent); with input checks on -10500 a value empty, -10511 a number no integer or "
       "above its bound, -10512 OpCode below 1; with answer checks on -10521 a counter no integer "
       "(also empty). Extension of ORBANTIS: -20 as CMD_48_0_0."},
      {"CMD_49_0_0",
       "Sells an item by tax group and price alone, quantity 1 and no text on the open fiscal "
       "receipt.",
       {kTaxCd, kPrice},
       {},
       kPlainSaleCodes},
      {"CMD_49_0_1",
       "Sells an item on the open fiscal receipt with two text lines, tax group, price, quantity "
       "and unit, and a discount or surcharge in percent on the line.",
       {kL1, kL2, kTaxCd, kPrice, kQuan, kUN, kPerc},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or Perc is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L1 or "
       "L2 longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or Perc no "
       "number or above its bound, -10507 Perc below -99, -10508 Quan no number or above 99999999."},
      {"CMD_49_0_2",
       "Sells an item on the open fiscal receipt with two text lines, tax group, price, quantity "
       "and unit, and a discount or surcharge as a sum on the line.",
       {kL1, kL2, kTaxCd, kPrice, kQuan, kUN, kAbsSum},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or AbsSum is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L1 or "
       "L2 longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or AbsSum no "
       "number or above its bound, -10507 AbsSum below -99999999, -10508 Quan no number or above "
       "99999999."},
      {"CMD_49_0_3",
       "Sells an item on the open fiscal receipt with one text line, tax group, price, quantity and "
       "unit, and a discount or surcharge as a sum on the line.",
       {kL1, kTaxCd, kPrice, kQuan, kUN, kAbsSum},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or AbsSum is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L1 "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or AbsSum no "
       "number or above its bound, -10507 AbsSum below -99999999, -10508 Quan no number or above "
       "99999999."},
      {"CMD_49_0_4",
       "Sells an item on the open fiscal receipt with no text: tax group, price, quantity and unit, "
       "and a discount or surcharge as a sum on the line.",
       {kTaxCd, kPrice, kQuan, kUN, kAbsSum},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 TaxCd is "
       "longer than one character, Price, Quan or AbsSum is no plain decimal or UN holds * # , or ; "
       "(nothing sent); with input checks on -10500 a value empty, -10504 TaxCd not A to F, -10506 "
       "Price or AbsSum no number or above its bound, -10507 AbsSum below -99999999, -10508 Quan no "
       "number or above 99999999."},
      {"CMD_49_0_5",
       "Sells an item on the open fiscal receipt with its text on the second line only, tax group, "
       "price, quantity and unit, and a discount or surcharge as a sum on the line.",
       {kL2Only, kTaxCd, kPrice, kQuan, kUN, kAbsSum},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or AbsSum is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L2 "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or AbsSum no "
       "number or above its bound, -10507 AbsSum below -99999999, -10508 Quan no number or above "
       "99999999."},
      {"CMD_49_0_6",
       "Sells an item on the open fiscal receipt with one text line, tax group, price, quantity and "
       "unit, and a discount or surcharge in percent on the line.",
       {kL1, kTaxCd, kPrice, kQuan, kUN, kPerc},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or Perc is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L1 "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or Perc no number "
       "or above its bound, -10507 Perc below -99, -10508 Quan no number or above 99999999."},
      {"CMD_49_0_7",
       "Sells an item on the open fiscal receipt with its text on the second line only, tax group, "
       "price, quantity and unit, and a discount or surcharge in percent on the line.",
       {kL2Only, kTaxCd, kPrice, kQuan, kUN, kPerc},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or Perc is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L2 "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or Perc no number "
       "or above its bound, -10507 Perc below -99, -10508 Quan no number or above 99999999."},
      {"CMD_49_0_8",
       "Sells an item on the open fiscal receipt with no text: tax group, price, quantity and unit, "
       "and a discount or surcharge in percent on the line.",
       {kTaxCd, kPrice, kQuan, kUN, kPerc},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 TaxCd is "
       "longer than one character, Price, Quan or Perc is no plain decimal or UN holds * # , or ; "
       "(nothing sent); with input checks on -10500 a value empty, -10504 TaxCd not A to F, -10506 "
       "Price or Perc no number or above its bound, -10507 Perc below -99, -10508 Quan no number or "
       "above 99999999."},
      {"CMD_49_0_9",
       "Sells an item on the open fiscal receipt with two text lines, tax group, price, quantity "
       "and unit, without a discount or surcharge.",
       {kL1, kL2, kTaxCd, kPrice, kQuan, kUN},
       {},
       kTwoLineSaleCodes},
      {"CMD_49_0_10",
       "The same as CMD_49_0_9 in every way: sells an item on the open fiscal receipt with two text "
       "lines, tax group, price, quantity and unit, without a discount or surcharge.",
       {kL1, kL2, kTaxCd, kPrice, kQuan, kUN},
       {},
       kTwoLineSaleCodes},
      {"CMD_49_0_11",
       "Sells an item on the open fiscal receipt with one text line, tax group, price, quantity and "
       "unit, without a discount or surcharge.",
       {kL1, kTaxCd, kPrice, kQuan, kUN},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price or Quan is no plain decimal or UN "
       "holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 L1 "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price no number or "
       "above its bound, -10508 Quan no number or above 99999999."},
      {"CMD_52_0_0",
       "Sells an item by tax group and price alone, quantity 1 and no text on the open fiscal "
       "receipt, and shows the sale on the customer display.",
       {kTaxCd, kPrice},
       {},
       kPlainSaleCodes},
      {"CMD_52_0_1",
       "Sells an item on the open fiscal receipt with one text line, tax group, price, quantity, "
       "unit and a discount or surcharge in percent, and shows the sale on the customer display.",
       {kLine, kTaxCd, kPrice, kQuan, kUN, kPerc},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or Perc is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 Line "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or Perc no number "
       "or above its bound, -10507 Perc below -99, -10508 Quan no number or above 99999999."},
      {"CMD_52_0_2",
       "Sells an item on the open fiscal receipt with one text line, tax group, price, quantity, "
       "unit and a discount or surcharge as a sum, and shows the sale on the customer display.",
       {kLine, kTaxCd, kPrice, kQuan, kUN, kAbsSum},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a payment already taken, a correction larger than its group's sales); -3 a text holds "
       "TAB or LF, TaxCd is longer than one character, Price, Quan or AbsSum is no plain decimal or "
       "UN holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10502 Line "
       "longer than 36 or UN longer than 8, -10504 TaxCd not A to F, -10506 Price or AbsSum no "
       "number or above its bound, -10507 AbsSum below -99999999, -10508 Quan no number or above "
       "99999999."},
      {"CMD_51_0_0",
       "Subtotal of the open fiscal receipt: answers the total so far and the tax in each group, "
       "and can print it on the receipt and show it on the customer display.",
       {kToPrint, kToDisplay},
       {kSubTotal, kTaxA, kTaxB, kTaxC, kTaxD, kTaxE, kTaxF},
       "0 done; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open); -3 a flag no plain decimal or ToPrint longer than one character (nothing sent); with "
       "input checks on -10500 a value empty, -10511 a flag no integer or above 1; with answer "
       "checks on -10524 a value missing, -10513 a value longer than 10 characters."},
      {"CMD_51_0_1",
       "Subtotal with a discount or surcharge in percent on the whole receipt so far, shared over "
       "its tax groups; prints it and answers the new total and the tax in each group. Only before "
       "the first payment.",
       {kToPrint,
        kToDisplay,
        {"Perc",
         "The percent on the subtotal, -99 to 99, up to 2 decimals: negative is a discount (-5 takes "
         "5 % off), positive a surcharge. Only checked to be present; the printer judges the rest."}},
       {kSubTotal, kTaxA, kTaxB, kTaxC, kTaxD, kTaxE, kTaxF},
       "0 done; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no receipt open, a "
       "payment already taken, a total of 0 or a value out of range); -3 a flag no plain decimal, "
       "ToPrint longer than one character or Perc holding a comma or semicolon (nothing sent); with "
       "input checks on -10500 a value empty, -10511 a flag no integer or above 1; with answer "
       "checks on -10524 a value missing, -10513 a value longer than 10 characters."},
      {"CMD_51_0_2",
       "Subtotal with a discount or surcharge as a sum on the whole receipt so far, shared over its "
       "tax groups by their totals; prints it and answers the new total and the tax in each group. "
       "Only before the first payment.",
       {kToPrint,
        kToDisplay,
        {"AbsSum",
         "The sum on the subtotal, up to 2 decimals, at most 99999999 either way: negative is a "
         "discount (-2.00 takes 2.00 off), positive a surcharge. Only checked to be present; the "
         "printer judges the rest."}},
       {kSubTotal, kTaxA, kTaxB, kTaxC, kTaxD, kTaxE, kTaxF},
       "0 done; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no receipt open, a "
       "payment already taken, a total of 0 or a value out of range); -3 a flag no plain decimal, "
       "ToPrint longer than one character or AbsSum holding a comma or semicolon (nothing sent); "
       "with input checks on -10500 a value empty, -10511 a flag no integer or above 1; with answer "
       "checks on -10524 a value missing, -10513 a value longer than 10 characters."},
      {"CMD_53_0_0",
       "Payment (tender) on the open fiscal receipt: the sum given in a chosen mode, cash, card, "
       "cheque or a programmed type. Read PaidCode: the result is 0 also when the printer turned "
       "the payment down. After the first payment no sale, discount or cancel is taken, only more "
       "payments and the close.",
       {kPaidMode,
        {"Amount_In",
         "The sum tendered, up to 2 decimals, at most 999999999, not negative. Above what is due, "
         "cash gives change and any other mode is refused (PaidCode F)."}},
       {kPaidCode, kAmountOut},
       "0 the printer answered, read PaidCode; -5 the exchange failed (no answer: \"Please check "
       "the link with this fiscal!\"; refused: \"Some of the status bytes:\" and the printer's "
       "reasons, e.g. no fiscal receipt open, the receipt already paid in full); -3 PaidMode holds "
       "a + or Amount_In is no plain decimal (nothing sent); with input checks on -10500 a value "
       "empty, -10504 PaidMode not in the list, -10506 Amount_In no number or above 999999999; with "
       "answer checks on -10524 PaidCode or Amount_Out missing, -10515 PaidCode not one of P F E D "
       "R I."},
      {"CMD_53_0_1",
       "Payment of exactly what is still due, in cash: the usual way to settle a receipt in one "
       "step. Read PaidCode: the result is 0 also when the printer turned the payment down.",
       {},
       {kPaidCode, kAmountOut},
       "0 the printer answered, read PaidCode; -5 the exchange failed (no answer: \"Please check "
       "the link with this fiscal!\"; refused: \"Some of the status bytes:\" and the printer's "
       "reasons, e.g. no fiscal receipt open, the receipt already paid in full); with answer checks "
       "on -10524 PaidCode or Amount_Out missing, -10515 PaidCode not one of P F E D R I."},
      {"CMD_53_0_2",
       "Payment of exactly what is still due, in the chosen mode (e.g. the whole sum by card). Read "
       "PaidCode: the result is 0 also when the printer turned the payment down.",
       {kPaidMode},
       {kPaidCode, kAmountOut},
       "0 the printer answered, read PaidCode; -5 the exchange failed (no answer: \"Please check "
       "the link with this fiscal!\"; refused: \"Some of the status bytes:\" and the printer's "
       "reasons, e.g. no fiscal receipt open, the receipt already paid in full); -3 PaidMode holds "
       "a + (nothing sent); with input checks on -10500 PaidMode empty, -10504 PaidMode not in the "
       "list; with answer checks on -10524 PaidCode or Amount_Out missing, -10515 PaidCode not one "
       "of P F E D R I."},
      {"CMD_53_0_3",
       "Payment of the given sum in cash; above what is due the printer prints the change. Read "
       "PaidCode: the result is 0 also when the printer turned the payment down.",
       {{"Amount_In", "The cash tendered, up to 2 decimals, at most 999999999, not negative."}},
       {kPaidCode, kAmountOut},
       "0 the printer answered, read PaidCode; -5 the exchange failed (no answer: \"Please check "
       "the link with this fiscal!\"; refused: \"Some of the status bytes:\" and the printer's "
       "reasons, e.g. no fiscal receipt open, the receipt already paid in full); -3 Amount_In no "
       "plain decimal (nothing sent); with input checks on -10500 Amount_In empty, -10506 Amount_In "
       "no number or above 999999999; with answer checks on -10524 PaidCode or Amount_Out missing, "
       "-10515 PaidCode not one of P F E D R I."},
      {"CMD_54_0_0",
       "Prints a free text line inside the open fiscal receipt, e.g. a comment, an order or a "
       "loyalty card number.",
       {{"Input_Text", "The text, up to 42 characters, cut to 42."}},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open); with input checks on -10500 Input_Text empty, -10502 longer than 42."},
      {"CMD_56_0_0",
       "Closes the open fiscal receipt: prints the total, the footer and the fiscal sign, and books "
       "the receipt. A receipt not yet paid in full is paid off in cash first.",
       {},
       {{"RecCnt", "The closed receipt's number in the day (since the last Z report), up to 4 digits."},
        {"GlobRecCnt", "Its number over the printer's whole life."}},
       "0 closed; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, a negative total); with answer checks on -10524 a number missing, -10513 RecCnt "
       "longer than 4."},
      {"CMD_58_0_0",
       "Sells a programmed item (PLU) on the open fiscal receipt: the printer takes its name, price "
       "and tax group from its item list; with quantity, unit and a discount or surcharge in "
       "percent.",
       {kPLU,
        kPluQuan,
        kUN,
        {"Perc",
         "A discount or surcharge on this line in percent, -99 to 99, up to 2 decimals: negative is a "
         "discount, positive a surcharge."}},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, an item not programmed, a payment already taken); -3 PLU, Quan or Perc no plain "
       "decimal, or a value holds * # , or ; (nothing sent); with input checks on -10500 a value "
       "empty, -10511 PLU no integer or above 999999999, -10512 PLU below 1, -10508 Quan no number "
       "or above 99999999, -10509 Quan below 0.001, -10502 UN longer than 8, -10507 Perc no number "
       "or below -99, -10506 Perc above 99."},
      {"CMD_58_0_1",
       "Sells a programmed item (PLU) on the open fiscal receipt with quantity, unit and a discount "
       "or surcharge as a sum; name, price and tax group come from the printer's item list.",
       {kPLU,
        kPluQuan,
        kUN,
        {"AbsSum",
         "A discount or surcharge on this line as a sum, up to 2 decimals, cut to 8 characters (e.g. "
         "-9999.99): negative is a discount, positive a surcharge. Not checked as a number here; no "
         "*, #, comma or semicolon."}},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, an item not programmed, a payment already taken); -3 PLU or Quan no plain decimal, or "
       "a value holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10511 "
       "PLU no integer or above 999999999, -10512 PLU below 1, -10508 Quan no number or above "
       "99999999, -10509 Quan below 0.001, -10502 UN longer than 8 or AbsSum longer than 8."},
      {"CMD_58_0_2",
       "Sells a programmed item (PLU) on the open fiscal receipt with quantity and unit; name, "
       "price and tax group come from the printer's item list.",
       {kPLU, kPluQuan, kUN},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, an item not programmed, a payment already taken); -3 PLU or Quan no plain decimal, or "
       "a value holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10511 "
       "PLU no integer or above 999999999, -10512 PLU below 1, -10508 Quan no number or above "
       "99999999, -10509 Quan below 0.001, -10502 UN longer than 8."},
      {"CMD_58_0_3",
       "Sells a programmed item (PLU) on the open fiscal receipt with a quantity; name, price and "
       "tax group come from the printer's item list.",
       {kPLU, kPluQuan},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, an item not programmed, a payment already taken); -3 PLU or Quan no plain decimal, or "
       "a value holds * # , or ; (nothing sent); with input checks on -10500 a value empty, -10511 "
       "PLU no integer or above 999999999, -10512 PLU below 1, -10508 Quan no number or above "
       "99999999, -10509 Quan below 0.001."},
      {"CMD_58_0_4",
       "Sells one piece of a programmed item (PLU) on the open fiscal receipt; name, price and tax "
       "group come from the printer's item list.",
       {kPLU},
       {},
       "0 sold; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal receipt "
       "open, an item not programmed, a payment already taken); -3 PLU no plain decimal (nothing "
       "sent); with input checks on -10500 a value empty, -10511 PLU no integer or above 999999999, "
       "-10512 PLU below 1."},
      {"CMD_60_0_0",
       "Cancels (voids) the open fiscal receipt: it is printed as cancelled and nothing is booked. "
       "Only before the first payment (CanVd of CMD_103_0_0 tells); after it the receipt can only "
       "be paid and closed.",
       {},
       {},
       "0 cancelled; -4 the exchange failed (no answer: \"Please check the link with this "
       "fiscal!\"; refused: \"Some of the status bytes:\" and the printer's reasons, e.g. no fiscal "
       "receipt open, a payment already taken)."},
  };
  return docs;
}

}  // namespace orbantis::cmd
