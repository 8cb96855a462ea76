// Fiscal receipts: open for an operator (48), sell by tax group and price (49,
// 52) or by item number (58), subtotal (51), payment (53), a free text line
// (54), the receipt counters (56) and command 60.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

// A sale's pieces carry the same checks wherever they occur in 49 and 52.
const Rules textLine = {Required(IN_REQUIRED), MaxLength(36, IN_MAX_LENGTH)};
const Rules taxGroup = {Required(IN_REQUIRED), OneOf("A,B,C,D,E,F", IN_NOT_IN_LIST)};
// No lower bound: a negative price is a correction on the receipt.
const Rules price = {Required(IN_REQUIRED), Currency(IN_CURRENCY_ABOVE), CurrencyAtMost("99999999", IN_CURRENCY_ABOVE)};
const Rules quantity = {Required(IN_REQUIRED), Number(IN_QUANTITY_ABOVE), NumberAtMost("99999999", IN_QUANTITY_ABOVE)};
const Rules unit = {Required(IN_REQUIRED), MaxLength(8, IN_MAX_LENGTH)};
const Rules percentage = {Required(IN_REQUIRED), Currency(IN_CURRENCY_ABOVE), CurrencyAtMost("99", IN_CURRENCY_ABOVE),
                          CurrencyAtLeast("-99", IN_CURRENCY_BELOW)};
const Rules absoluteSum = {Required(IN_REQUIRED), Currency(IN_CURRENCY_ABOVE),
                           CurrencyAtMost("99999999", IN_CURRENCY_ABOVE), CurrencyAtLeast("-99999999", IN_CURRENCY_BELOW)};

// Opening a receipt.
const Rules operatorCode = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(16, IN_INTEGER_ABOVE),
                            IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules operatorPassword = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE),
                                IntegerAtMost(99999999, IN_INTEGER_ABOVE)};
const Rules tillNumber = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(99999, IN_INTEGER_ABOVE)};
const Rules required = {Required(IN_REQUIRED)};
const Rules receiptCounter = {Integer(OUT_NOT_INTEGER)};  // an empty value fails the parse

// Subtotal.
const Rules flag = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(1, IN_INTEGER_ABOVE)};
const Rules subtotalValue = {Required(OUT_REQUIRED), MaxLength(10, OUT_MAX_LENGTH)};

// Payment.
const Rules paidMode = {Required(IN_REQUIRED), OneOf("P,N,C,D,I,J,K,L", IN_NOT_IN_LIST)};
const Rules amountIn = {Required(IN_REQUIRED), Currency(IN_CURRENCY_ABOVE),
                        CurrencyAtMost("999999999", IN_CURRENCY_ABOVE)};
const std::vector<Param> paymentAnswer = {
    {"PaidCode", {Required(OUT_REQUIRED), OneOf("P,F,E,D,R,I", OUT_NOT_IN_LIST)}},
    {"Amount_Out", {Required(OUT_REQUIRED)}}};

// Sale of a programmed item.
const Rules plu = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(999999999, IN_INTEGER_ABOVE),
                   IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules pluQuantity = {Required(IN_REQUIRED), Number(IN_QUANTITY_ABOVE), NumberAtMost("99999999", IN_QUANTITY_ABOVE),
                           NumberAtLeast("0.001", IN_QUANTITY_BELOW)};
// Here the lower bound is tested first, so a text that is no number fails as
// "below".
const Rules pluPercentage = {Required(IN_REQUIRED), Currency(IN_CURRENCY_BELOW), CurrencyAtLeast("-99", IN_CURRENCY_BELOW),
                             CurrencyAtMost("99", IN_CURRENCY_ABOVE)};
const Rules pluAbsoluteSum = {Required(IN_REQUIRED), MaxLength(8, IN_MAX_LENGTH)};

const std::vector<Param> subtotalAnswer = {{"SubTotal", subtotalValue}, {"TaxA", subtotalValue},
                                           {"TaxB", subtotalValue},     {"TaxC", subtotalValue},
                                           {"TaxD", subtotalValue},     {"TaxE", subtotalValue},
                                           {"TaxF", subtotalValue}};
const std::vector<Param> receiptCounters = {{"RecCnt", receiptCounter}, {"GlobRecCnt", receiptCounter}};

}  // namespace

const std::vector<CommandRow>& ReceiptCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_48_0_0", 48, {{"OpCode", operatorCode}, {"OpPwd", operatorPassword}, {"TillNmb", tillNumber}},
       "{OpCode},{OpPwd},{TillNmb}", SplitAt(), receiptCounters},
      // The buyer's lines, TIN and VRN go as they are: no limit, no cut.
      {"CMD_48_0_1", 48,
       {{"OpCode", operatorCode}, {"OpPwd", operatorPassword}, {"TillNmb", tillNumber}, {"BuyerLine1", required},
        {"BuyerLine2", required}, {"BuyerLine3", required}, {"TIN", required}, {"VRN", required}},
       "{OpCode},{OpPwd},{TillNmb},{BuyerLine1},{BuyerLine2},{BuyerLine3},{TIN},{VRN}", SplitAt(), receiptCounters},

      // Sales: [L1] [LF L2] TAB tax-group price [* quantity # unit] [, percentage | ; sum]
      {"CMD_49_0_0", 49, {{"TaxCd", taxGroup}, {"Price", price}}, "\t{TaxCd}{Price}", {}, {}},
      {"CMD_49_0_1", 49,
       {{"L1", textLine}, {"L2", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity},
        {"UN", unit}, {"Perc", percentage}},
       "{L1:36}\n{L2:36}\t{TaxCd}{Price}*{Quan}#{UN:8},{Perc}", {}, {}},
      {"CMD_49_0_2", 49,
       {{"L1", textLine}, {"L2", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity},
        {"UN", unit}, {"AbsSum", absoluteSum}},
       "{L1:36}\n{L2:36}\t{TaxCd}{Price}*{Quan}#{UN:8};{AbsSum}", {}, {}},
      {"CMD_49_0_3", 49,
       {{"L1", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit},
        {"AbsSum", absoluteSum}},
       "{L1:36}\t{TaxCd}{Price}*{Quan}#{UN:8};{AbsSum}", {}, {}},
      {"CMD_49_0_4", 49,
       {{"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit}, {"AbsSum", absoluteSum}},
       "\t{TaxCd}{Price}*{Quan}#{UN:8};{AbsSum}", {}, {}},
      // Starts with LF: the first line stays empty, the second carries the text.
      {"CMD_49_0_5", 49,
       {{"L2", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit},
        {"AbsSum", absoluteSum}},
       "\n{L2:36}\t{TaxCd}{Price}*{Quan}#{UN:8};{AbsSum}", {}, {}},
      {"CMD_49_0_6", 49,
       {{"L1", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit},
        {"Perc", percentage}},
       "{L1:36}\t{TaxCd}{Price}*{Quan}#{UN:8},{Perc}", {}, {}},
      {"CMD_49_0_7", 49,
       {{"L2", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit},
        {"Perc", percentage}},
       "\n{L2:36}\t{TaxCd}{Price}*{Quan}#{UN:8},{Perc}", {}, {}},
      {"CMD_49_0_8", 49,
       {{"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit}, {"Perc", percentage}},
       "\t{TaxCd}{Price}*{Quan}#{UN:8},{Perc}", {}, {}},
      {"CMD_49_0_9", 49,
       {{"L1", textLine}, {"L2", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity},
        {"UN", unit}},
       "{L1:36}\n{L2:36}\t{TaxCd}{Price}*{Quan}#{UN:8}", {}, {}},
      // The same as CMD_49_0_9 in every respect; both names are in use.
      {"CMD_49_0_10", 49,
       {{"L1", textLine}, {"L2", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity},
        {"UN", unit}},
       "{L1:36}\n{L2:36}\t{TaxCd}{Price}*{Quan}#{UN:8}", {}, {}},
      {"CMD_49_0_11", 49,
       {{"L1", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit}},
       "{L1:36}\t{TaxCd}{Price}*{Quan}#{UN:8}", {}, {}},
      {"CMD_52_0_0", 52, {{"TaxCd", taxGroup}, {"Price", price}}, "\t{TaxCd}{Price}", {}, {}},
      {"CMD_52_0_1", 52,
       {{"Line", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit},
        {"Perc", percentage}},
       "{Line:36}\t{TaxCd}{Price}*{Quan}#{UN:8},{Perc}", {}, {}},
      {"CMD_52_0_2", 52,
       {{"Line", textLine}, {"TaxCd", taxGroup}, {"Price", price}, {"Quan", quantity}, {"UN", unit},
        {"AbsSum", absoluteSum}},
       "{Line:36}\t{TaxCd}{Price}*{Quan}#{UN:8};{AbsSum}", {}, {}},

      // Subtotal: print and display flags side by side, then a discount.
      {"CMD_51_0_0", 51, {{"ToPrint", flag}, {"ToDisplay", flag}}, "{ToPrint}{ToDisplay}", SplitAt(),
       subtotalAnswer},
      {"CMD_51_0_1", 51, {{"ToPrint", flag}, {"ToDisplay", flag}, {"Perc", required}}, "{ToPrint}{ToDisplay},{Perc}",
       SplitAt(), subtotalAnswer},
      {"CMD_51_0_2", 51, {{"ToPrint", flag}, {"ToDisplay", flag}, {"AbsSum", required}},
       "{ToPrint}{ToDisplay};{AbsSum}", SplitAt(), subtotalAnswer},

      // Payment: the answer's first character is the outcome, the rest the amount.
      {"CMD_53_0_0", 53, {{"PaidMode", paidMode}, {"Amount_In", amountIn}}, "{PaidMode}+{Amount_In}",
       FirstCharAndRest(), paymentAnswer},
      {"CMD_53_0_1", 53, {}, "", FirstCharAndRest(), paymentAnswer},
      {"CMD_53_0_2", 53, {{"PaidMode", paidMode}}, "{PaidMode}", FirstCharAndRest(), paymentAnswer},
      {"CMD_53_0_3", 53, {{"Amount_In", amountIn}}, "{Amount_In}", FirstCharAndRest(), paymentAnswer},

      {"CMD_54_0_0", 54, {{"Input_Text", {Required(IN_REQUIRED), MaxLength(42, IN_MAX_LENGTH)}}}, "{Input_Text:42}",
       {}, {}},

      {"CMD_56_0_0", 56, {}, "", SplitAt(),
       {{"RecCnt", {Required(OUT_REQUIRED), MaxLength(4, OUT_MAX_LENGTH)}}, {"GlobRecCnt", {Required(OUT_REQUIRED)}}}},

      // Sale of a programmed item: PLU [* quantity [# unit [, percentage | ; sum]]]
      {"CMD_58_0_0", 58,
       {{"PLU", plu}, {"Quan", pluQuantity}, {"UN", unit}, {"Perc", pluPercentage}}, "{PLU}*{Quan}#{UN:8},{Perc}",
       {}, {}},
      {"CMD_58_0_1", 58,
       {{"PLU", plu}, {"Quan", pluQuantity}, {"UN", unit}, {"AbsSum", pluAbsoluteSum}},
       "{PLU}*{Quan}#{UN:8};{AbsSum:8}", {}, {}},
      {"CMD_58_0_2", 58, {{"PLU", plu}, {"Quan", pluQuantity}, {"UN", unit}}, "{PLU}*{Quan}#{UN:8}", {}, {}},
      {"CMD_58_0_3", 58, {{"PLU", plu}, {"Quan", pluQuantity}}, "{PLU}*{Quan}", {}, {}},
      {"CMD_58_0_4", 58, {{"PLU", plu}}, "{PLU}", {}, {}},

      {"CMD_60_0_0", 60, {}, "", {}, {}},
  };
  return rows;
}

}  // namespace orbantis::cmd
