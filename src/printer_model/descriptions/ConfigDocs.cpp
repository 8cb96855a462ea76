// What the configuration and identity commands do, for a till programmer.
#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

namespace {

// Values described alike in several rows of this group.
const ValueDoc kIPAddr = {"IPAddr",
                          "The IP address, e.g. 192.168.1.50; required, up to 15 characters (cut to 15), no \",\"."};
const ValueDoc kSubnetMask = {
    "SubnetMask", "The subnet mask, e.g. 255.255.255.0; required, up to 15 characters (cut to 15), no \",\"."};
const ValueDoc kTCPPort = {"TCPPort",
                           "The TCP port to listen on; required, up to 15 characters (cut to 15), no \",\"."};
const ValueDoc kDefGateway = {"DefGateway",
                              "The default gateway's IP address; required, up to 15 characters (cut to 15), no \",\"."};
const ValueDoc kOUTPUTMultiplier = {"OUTPUT_Multiplier", "The multiplier in force, 0 to 3."};
const ValueDoc kOUTPUTDecimals = {"OUTPUT_Decimals", "Decimals in amounts in force: 0 or 2."};
const ValueDoc kOUTPUTEnabledSwitches = {"OUTPUT_EnabledSwitches",
                                         "The enabled tax groups, one 0 or 1 per group A to F."};
const ValueDoc kOUTPUTTaxA = {"OUTPUT_TaxA", "The tax rate of group A in force, in percent."};
const ValueDoc kOUTPUTTaxB = {"OUTPUT_TaxB", "The tax rate of group B in force, in percent."};
const ValueDoc kOUTPUTTaxC = {"OUTPUT_TaxC", "The tax rate of group C in force, in percent."};
const ValueDoc kOUTPUTTaxD = {"OUTPUT_TaxD", "The tax rate of group D in force, in percent."};
const ValueDoc kOUTPUTTaxE = {"OUTPUT_TaxE", "The tax rate of group E in force, in percent."};
const ValueDoc kOUTPUTTaxF = {"OUTPUT_TaxF", "The tax rate of group F in force, in percent."};
const ValueDoc kOption = {"Option", "The payment mode: I, J, K or L (one character, cut to 1)."};
const ValueDoc kOpCode = {"OpCode", "The operator's number, 1 to 16."};

}  // namespace

const std::vector<CommandDoc>& ConfigCommandDocs() {
  static const std::vector<CommandDoc> docs = {
      {"CMD_36_0_0",
       "Reads the printer's network settings: IP address, subnet mask, TCP port, default gateway and MAC address.",
       {},
       {{"IPAddr", "The printer's IP address, e.g. 192.168.1.50 (up to 15 characters)."},
        {"SubnetMask", "The subnet mask, e.g. 255.255.255.0 (up to 15 characters)."},
        {"TCPPort", "The TCP port the printer listens on (up to 15 characters)."},
        {"DefGateway", "The default gateway's IP address (up to 15 characters)."},
        {"MACAddr", "The printer's MAC address (up to 24 characters); empty when the printer leaves it out."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the printer's reasons). With answer checks on: -10524 one of the first four values "
       "missing, -10513 a value over 15 characters (MACAddr over 24)."},

      {"CMD_36_0_1",
       "Writes the printer's network settings, MAC address included. Only while no receipt is open; an empty MACAddr "
       "keeps the printer's MAC address.",
       {kIPAddr,
        kSubnetMask,
        kTCPPort,
        kDefGateway,
        {"MACAddr",
         "The MAC address, up to 24 characters (cut to 24), no \",\". May be empty: the field then ends in \",\" and "
         "the printer keeps its MAC address."}},
       {},
       "0 written; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "receipt open or a malformed value: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" "
       "(nothing sent). With input checks on: -10500 one of the first four empty, -10502 a value over 15 characters "
       "(MACAddr over 24)."},

      {"CMD_36_0_2",
       "Writes the printer's IP address, subnet mask, TCP port and default gateway, leaving the MAC address as it is. "
       "Goes out as command 96h (code 10134).",
       {kIPAddr, kSubnetMask, kTCPPort, kDefGateway},
       {},
       "0 written; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "malformed value: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" (nothing sent). With "
       "input checks on: -10500 a value empty, -10502 a value over 15 characters."},

      {"CMD_41_0_0",
       "Sets the printer's switches SW1 to SW7 (display, paper cutting, serial port speed). Only while no receipt is "
       "open; the states come back as the bits of status byte 3.",
       {{"Switches",
         "One character per switch, 1 on and 0 off, SW1 first; up to 8 characters (cut to 8). SW1 transparent display, "
         "SW2 no display required, SW3 half cut, SW4 automatic paper cut, SW5 unused, SW6 and SW7 serial port speed. "
         "Empty sends no data and changes nothing."}},
       {},
       "0 set; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a receipt "
       "open or a character other than 0 and 1: \"Some of the status bytes:\" and the reasons). With input checks on: "
       "-10502 more than 8 characters."},

      {"CMD_41_0_1",
       "Sends the switches command with no data: no switch changes. Read the switch states from the bits of status "
       "byte 3.",
       {},
       {},
       "0 accepted; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "receipt open: \"Some of the status bytes:\" and the reasons)."},

      {"CMD_43_0_0",
       "Programs a receipt header or footer line: items 0 to 5 are the six header lines, 6 and 7 the two footer lines. "
       "Only while no receipt is open; a header change is recorded in the fiscal memory.",
       {{"ITEM_INDEX",
         "The item number, one character: 0 to 5 a header line, 6 or 7 a footer line. Sent right before the text, with "
         "nothing between them."},
        {"DATA_VALUE",
         "The line's text, up to 42 characters a line; never cut. For a header item, TAB (09h) parts further lines "
         "that go to the next items (setHeader sends item 0 with all six lines joined by TAB)."}},
       {},
       "0 programmed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "receipt open, an item over 7 or a line too long: \"Some of the status bytes:\" and the reasons), also when the "
       "field passes 219 bytes (nothing sent); -3 ITEM_INDEX has more than one character (nothing sent). With input "
       "checks on: -10500 a value empty."},

      {"CMD_43_0_1",
       "Reads a header or footer line back: send R and the item number, e.g. R0 for the first header line or R6 for "
       "the first footer line.",
       {{"FP_INPUT",
         "The whole request, never cut: \"R\" and the item number 0 to 7 (0 to 5 header lines, 6 and 7 footer "
         "lines)."}},
       {{"FP_ANSWER", "The printer's whole answer, commas included: the line's text (empty for an empty line)."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. an item "
       "over 7: \"Some of the status bytes:\" and the reasons). With input checks on: -10500 FP_INPUT empty; the "
       "answer is never checked."},

      {"CMD_61_0_0",
       "Sets the printer's clock: date and time. Only while no receipt is open; the printer refuses a time before its "
       "last fiscal memory record.",
       {{"TRGT_DATE", "The date as DD-MM-YY, e.g. 24-12-26; required, up to 8 characters (cut to 8), no space."},
        {"TRGT_TIME",
         "The time as HH:MM:SS or HH:MM, 24-hour, e.g. 14:05:00; required, up to 8 characters (cut to 8), no space."}},
       {},
       "0 set; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. an "
       "invalid date, a time before the last fiscal memory record or a receipt open: \"Some of the status bytes:\" and "
       "the reasons); -3 the date or time holds a space (nothing sent). With input checks on: -10500 a value empty, "
       "-10502 a value over 8 characters."},

      {"CMD_63_0_0",
       "Sends command 63, which carries no data and changes nothing on the printer: a 0 shows that the printer answers "
       "and reports no error.",
       {},
       {},
       "0 the printer answered without an error bit; -4 the exchange failed (no answer: \"Please check the link with "
       "this fiscal!\"; an error bit set, e.g. no paper: \"Some of the status bytes:\" and the reasons)."},

      {"CMD_71_0_0",
       "Prints the printer's diagnostic information: model, firmware, serial number, free fiscal memory records, date "
       "and time. Only while no receipt is open.",
       {},
       {},
       "0 printed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "receipt open or no paper: \"Some of the status bytes:\" and the reasons)."},

      {"CMD_83_0_0",
       "Sets the multiplier, the decimals, the enabled tax groups and the VAT tax rates of groups A to F, then answers "
       "the settings in force. Only at the start of a fiscal day (after a Z report, before any sale); the printer "
       "prints the new rates and records them in the fiscal memory.",
       {{"INPUT_Multiplier", "The multiplier, an integer 0 to 3."},
        {"INPUT_Decimals", "Decimals in amounts: 0 or 2."},
        {"EnabledSwitches",
         "The enabled tax groups: one character per group A to F, 1 enabled, 0 not; required, up to 6 characters (cut "
         "to 6), no \",\"."},
        {"INPUT_TaxA", "The VAT tax rate of group A in percent, 0 to 99 (e.g. 18 or 18.00); sent as written."},
        {"INPUT_TaxB", "The VAT tax rate of group B in percent, 0 to 99; sent as written."},
        {"INPUT_TaxC", "The VAT tax rate of group C in percent, 0 to 99; sent as written."},
        {"INPUT_TaxD", "The VAT tax rate of group D in percent, 0 to 99; sent as written."},
        {"INPUT_TaxE", "The VAT tax rate of group E in percent, 0 to 99; sent as written."},
        {"INPUT_TaxF", "The VAT tax rate of group F in percent, 0 to 99; sent as written."}},
       {kOUTPUTMultiplier, kOUTPUTDecimals, kOUTPUTEnabledSwitches, kOUTPUTTaxA, kOUTPUTTaxB, kOUTPUTTaxC, kOUTPUTTaxD,
        kOUTPUTTaxE, kOUTPUTTaxF},
       "0 set; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. sales "
       "since the last Z report or a receipt open: \"Some of the status bytes:\" and the reasons); -3 a value holds "
       "\",\" or a multiplier or rate is not a plain number (nothing sent). With input checks on: -10500 a value "
       "empty, -10512 multiplier no integer or below 0, -10511 above 3, -10504 decimals not 0 or 2, -10502 switches "
       "over 6 characters, -10507 a rate no number or below 0, -10506 above 99; with answer checks on: -10524 a value "
       "missing, -10515 multiplier or decimals not in their list, -10513 switches over 6, -10517 a rate no number or "
       "above 99, -10518 below 0."},

      {"CMD_83_0_1",
       "Reads the multiplier, the decimals, the enabled tax groups and the VAT tax rates of groups A to F.",
       {},
       {kOUTPUTMultiplier, kOUTPUTDecimals, kOUTPUTEnabledSwitches, kOUTPUTTaxA, kOUTPUTTaxB, kOUTPUTTaxC, kOUTPUTTaxD,
        kOUTPUTTaxE, kOUTPUTTaxF},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons). With answer checks on: -10524 a value missing, -10515 multiplier or decimals "
       "not in their list, -10513 switches over 6 characters, -10517 a rate no number or above 99, -10518 below 0."},

      {"CMD_85_0_0",
       "Names payment mode I, J, K or L (the extra payment modes of the payment command), e.g. VOUCHER. Only while no "
       "receipt is open.",
       {kOption, {"INPUT_NAME", "The payment mode's name; required, up to 24 characters (cut to 24), no \",\"."}},
       {{"FP_RESULT", "P the name was set, F the printer refused it; the till must check for P."}},
       "0 answered (check FP_RESULT); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused, e.g. a receipt open: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" (nothing "
       "sent). With input checks on: -10500 a value empty, -10502 Option over 1 or the name over 24 characters, -10504 "
       "Option not I to L; with answer checks on: -10515 FP_RESULT neither P nor F (or empty)."},

      {"CMD_85_0_1",
       "Reads the name of payment mode I, J, K or L.",
       {kOption},
       {{"OUTPUT_NAME", "The payment mode's name, up to 24 characters (up to its first \",\")."}},
       "0 read; -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused: \"Some of the "
       "status bytes:\" and the reasons); -3 Option holds \",\" (nothing sent). With input checks on: -10500 empty, "
       "-10502 over 1 character, -10504 not I to L; the answer is never checked."},

      {"CMD_91_0_0",
       "Sets the printer's serial number and reads back the printer's country text. Goes out as command 99h (code "
       "10137).",
       {{"Serial", "The serial number, exactly 10 characters, e.g. OB00000001 (cut to 10)."}},
       {{"FP_RESULT", "P the serial number was set, F the printer refused it; the till must check for P."},
        {"CountryStr", "The country text the printer reports."}},
       "0 answered (check FP_RESULT); -5 the exchange failed (no answer: \"Please check the link with this fiscal!\"; "
       "refused: \"Some of the status bytes:\" and the reasons). With input checks on: -10500 empty, -10502 over 10, "
       "-10503 under 10 characters; with answer checks on: -10524 a value missing, -10515 FP_RESULT neither P nor F."},

      {"CMD_98_0_0",
       "Sets the business's TIN and VRN, printed in the receipt header. Goes out as command 9Ah (code 10138).",
       {{"TIN", "The Taxpayer Identification Number, exactly 9 characters, e.g. 100200300 (cut to 9), no \",\"."},
        {"VRN", "The VAT Registration Number, exactly 9 characters, e.g. 40012345A (cut to 9), no \",\"."}},
       {},
       "0 set; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a value "
       "not 9 characters: \"Some of the status bytes:\" and the reasons); -3 a value holds \",\" (nothing sent). With "
       "input checks on: -10500 empty, -10502 over 9, -10503 under 9 characters."},

      {"CMD_101_0_0",
       "Changes an operator's password. The printer checks the old password; only while no receipt is open.",
       {kOpCode,
        {"OldPwd", "The operator's current password, 4 to 8 characters (cut to 8), no \",\"."},
        {"NewPwd", "The new password, 4 to 8 characters (cut to 8), no \",\"."}},
       {},
       "0 changed; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a "
       "wrong old password or a receipt open: \"Some of the status bytes:\" and the reasons); -3 a password holds "
       "\",\" or OpCode is not a plain number (nothing sent). With input checks on: -10500 empty, -10511 OpCode no "
       "integer or above 16, -10512 below 1, -10502 a password over 8, -10503 under 4 characters."},

      {"CMD_102_0_0",
       "Sets an operator's name, printed on the operator's receipts and reports. The printer checks the operator's "
       "password; only while no receipt is open.",
       {kOpCode,
        {"Pwd", "The operator's password, 4 to 8 characters (cut to 8), no \",\"."},
        {"OpName", "The operator's name; required, up to 24 characters (cut to 24), no \",\"."}},
       {},
       "0 set; -4 the exchange failed (no answer: \"Please check the link with this fiscal!\"; refused, e.g. a wrong "
       "password or a receipt open: \"Some of the status bytes:\" and the reasons); -3 a text holds \",\" or OpCode is "
       "not a plain number (nothing sent). With input checks on: -10500 empty, -10511 OpCode no integer or above 16, "
       "-10512 below 1, -10502 password over 8 or name over 24, -10503 password under 4 characters."},
  };
  return docs;
}

}  // namespace orbantis::cmd
