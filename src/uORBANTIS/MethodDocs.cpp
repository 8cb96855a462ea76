#include "uORBANTIS/MethodDocs.h"

#include <map>

#include "printer_model/CommandDocs.h"
#include "printer_model/CommandTable.h"

namespace orbantis::automation {
namespace {

struct OwnDoc {
  const char* summary;
  std::map<std::string, std::string> args;
  const char* result;
};

// The object's own methods: connection, last error, status bits, header and
// footer, logo, receipts.
const std::map<std::string, OwnDoc>& OwnDocs() {
  static const std::map<std::string, OwnDoc> docs = {
      {"INIT_MY_FP",
       {"Records the serial port (COM port number), baud rate and DTR/RTS states of the printer, and closes a "
        "connection already open. Nothing is opened until CONNECT_TO_PRINTER.",
        {{"TRGT_PORT", "COM port number: $XDG_CONFIG_HOME/ORBANTIS/ports/COMn, else /dev/ttyS(n-1)."},
         {"TRGT_BAUDRATE", "Speed in bit/s, 1200 to 230400 (115200 usual)."},
         {"SET_DTR_TO", "DTR state after opening."},
         {"SET_RTS_TO", "RTS state after opening."},
         {"MODEL_INDX", "Recorded; not used."}},
        "0; -1 after a fault."}},
      {"initFiscalPrinter",
       {"Records the serial port, baud rate and DTR/RTS states, as INIT_MY_FP does without a model index.",
        {{"targetComPort", "COM port number."},
         {"targetBaudrate", "Speed in bit/s, 1200 to 230400."},
         {"setDTRToValue", "DTR state after opening."},
         {"setRTSToValue", "RTS state after opening."}},
        "0; -1 after a fault."}},
      {"initFiscalPrinterDevice",
       {"Extension: records a serial device by its path (e.g. /dev/ttyUSB0), the baud rate and DTR/RTS states.",
        {{"devicePath", "The serial device, e.g. /dev/ttyUSB0."},
         {"targetBaudrate", "Speed in bit/s, 1200 to 230400."},
         {"setDTRToValue", "DTR state after opening."},
         {"setRTSToValue", "RTS state after opening."}},
        "0; -1 after a fault."}},
      {"INIT_MY_FP2",
       {"Records a printer on the network (TCP address and port); CONNECT_TO_PRINTER connects to it.",
        {{"IP_ADDRESS", "Host name or address of the printer."}, {"PORT_NUMBER", "TCP port, 1 to 65535."}},
        "0; -2 when the port is no number from 1 to 65535 (the printer named before is forgotten)."}},
      {"CONNECT_TO_PRINTER",
       {"Opens the port or TCP connection recorded by an initialiser, reads the status (74) and the diagnostic "
        "information (90), and settles receipts left unfinished on that printer.",
        {},
        "0 connected; -1 no initialiser (or the last one failed); -100 and -1..-6 the port cannot be opened or set "
        "up (held by another program, missing, wrong rate); -46 TCP refused; the diagnostic read's code when the "
        "printer does not answer (the port stays open). Fires ON_ERROR when negative."}},
      {"CLOSE_CONNECTION", {"Closes the port and releases the printer object.", {}, "0; -1 after a fault."}},
      {"GetLastErrorCode", {"The code of the last command or connect attempt.", {}, "The code itself."}},
      {"GetLastErrorMessage",
       {"The English text of the last command's result: \"Unknown error.\" after a success, the link text or the "
        "printer's status texts after a failed exchange.",
        {},
        ""}},
      {"GET_BIT_STATE",
       {"Whether a status bit was set in the last answer.",
        {{"BYTE_INDEX", "Status byte 0 to 5."}, {"BIT_INDEX", "Bit 0 to 7."}},
        "true or false; false outside the 48 bits."}},
      {"getBitState",
       {"Whether a status bit was set in the last answer.",
        {{"byteIndex", "Status byte 0 to 5."}, {"bitIndex", "Bit 0 to 7."}},
        "true or false."}},
      {"getStatusDescription",
       {"The English text of a status bit, e.g. byte 2 bit 0 \"End of paper\".",
        {{"byteIndex", "Status byte 0 to 5."}, {"bitIndex", "Bit 0 to 7."}},
        ""}},
      {"CUSTOM_CMD",
       {"Sends any printer command by its code with a data field the caller builds (for commands the interface "
        "has no method for), and hands the answer's data field back.",
        {{"CMD", "The command code, 0 to 255 (its low byte is sent)."},
         {"INPUT_STR", "The data field, at most 219 bytes."},
         {"OUTPUT_STR", "The answer's data field."}},
        "true when the printer answered without an error bit; false otherwise (last error -4, ON_ERROR fired). "
        "Extension of ORBANTIS: command 48 is refused unsent while a whole receipt sent with printReceipt is not "
        "settled on this printer (false, last error -20, the text naming its key)."}},
      {"setHeader",
       {"Programs the six header lines printed at the top of every receipt (item 0 of command 43).",
        {{"headerLine1", "Line 1, cut to 42 characters."}, {"headerLine2", "Line 2."}, {"headerLine3", "Line 3."},
         {"headerLine4", "Line 4."}, {"headerLine5", "Line 5."}, {"headerLine6", "Line 6."}},
        "0; the command's code; -1 without a printer object."}},
      {"setFooter",
       {"Programs the two footer lines printed at the end of every receipt (items 6 and 7 of command 43).",
        {{"footerLine1", "Footer line 1, cut to 42 characters."}, {"footerLine2", "Footer line 2."}},
        "0; the first failing line's code; -1 without a printer object."}},
      {"showLogoForm",
       {"Shows the logo form: load a picture (BMP, JPEG), see the printer's logo, read it from or write it to the "
        "printer.",
        {{"stayOnTop", "Keep the form above other windows."}},
        ""}},
      {"getLogoFromPrinter",
       {"Reads the printer's 576 x 96 dot logo into a BMP file, row by row (OnStartProgress, OnProgress, "
        "OnEndProgress).",
        {{"targetFileName", "The BMP file to write, an absolute path."}},
        "0; -42000..-42003 (file and folder problems); the row command's code."}},
      {"saveLogoToPrinter",
       {"Writes a picture to the printer as its logo, converted to 576 x 96 dots and dithered, row by row. A "
        "larger picture is cropped to its top-left corner, a smaller one placed there; the download has 98 rows, "
        "of which 96 are printed.",
        {{"targetFileName", "The picture (BMP, PNG or JPEG), an absolute path."}},
        "0; -42004 no such file; -42005 not a .bmp, .png, .jpg or .jpeg; the row command's code."}},
      {"printReceipt",
       {"Extension: prints a whole receipt from a JSON document exactly once (see docs/receipts.md): checked "
        "whole first, recorded in the journal, printed, and settled from the printer's own reads after any fault.",
        {{"document", "The receipt document (JSON, UTF-8); its key makes it print once."},
         {"answer", "The answer document (JSON): state, numbers, totals, paid, change, or the errors."}},
        "0 printed; -1 bad document; -2 key used for another document; -3 cancelled; -4 failed; -5 outcome not "
        "known yet; -6 the printer holds it open; -7 journal; -8 no such key. Fires ON_ERROR when negative."}},
      {"GetLastErrorDetail",
       {"Extension: why the last CONNECT_TO_PRINTER failed, for a person: the device path or address, the "
        "system's reason and what to do (e.g. add the user to the dialout group, close the program that holds the "
        "port). Empty after a successful connect; the last error message stays \"Server can not open COM port.\".",
        {},
        ""}},
      // The properties: their help strings in the type library.
      {"debugMode", {"While true, every request and answer is traced in hexadecimal into debugFolder.", {}, ""}},
      {"debugFolder", {"The folder of the trace; empty means the default trace folder.", {}, ""}},
      {"codePage",
       {"Extension: the printer's code page, 1252 (Western, the default) or 1251 (Cyrillic).", {}, ""}},
      {"replaceUnmappable",
       {"Extension: false (the default) refuses a text holding a character the code page cannot print (-3); "
        "true prints \"?\" in its place.",
        {},
        ""}},
      {"getReceipt",
       {"Extension: what the receipt journal holds under a key.",
        {{"key", "The receipt's key."}, {"answer", "The answer document (JSON), as printReceipt gave it."}},
        "As printReceipt; -8 when the journal has no such key."}},
  };
  return docs;
}

const OwnDoc* ownDoc(const InterfaceEntry& e) {
  const auto it = OwnDocs().find(e.name);
  return it == OwnDocs().end() ? nullptr : &it->second;
}

const cmd::CommandDoc* commandDoc(const InterfaceEntry& e) {
  const char* row = RowOf(e);
  return row == nullptr ? nullptr : cmd::FindCommandDoc(row);
}

// The interface calls two arguments of CMD_121_0 by other names than its row.
std::string rowArgument(const InterfaceEntry& e, const std::string& argument) {
  if (e.name == "CMD_121_0") {
    if (argument == "TRGT_ADDR") return "Address";
    if (argument == "BlockLength") return "Bytes";
  }
  return argument;
}

std::string cell(std::string s) {
  for (std::size_t at; (at = s.find('|')) != std::string::npos;) s.replace(at, 1, "\\|");
  return s;
}

const char* typeName(ArgType t) {
  switch (t) {
    case ArgType::Int: return "i";
    case ArgType::Bool: return "b";
    default: return "s";
  }
}

}  // namespace

const char* RowOf(const InterfaceEntry& e) {
  if (e.name == "CMD_121_0") return "CMD_121_0_0";
  const cmd::Command* c = cmd::FindCommand(e.name);
  return c == nullptr ? nullptr : c->row->name;
}

std::string MethodSummary(const InterfaceEntry& e) {
  if (const auto* d = commandDoc(e)) return d->summary;
  if (const auto* d = ownDoc(e)) return d->summary;
  return {};
}

std::string ArgumentDoc(const InterfaceEntry& e, const std::string& argument) {
  if (const auto* d = commandDoc(e)) {
    const std::string name = rowArgument(e, argument);
    for (const auto& v : d->params)
      if (name == v.name) return v.meaning;
    for (const auto& v : d->answers)
      if (name == v.name) return v.meaning;
    // CMD_121_0 answers into AnswerData where its row has Data.
    if (e.name == "CMD_121_0" && !d->answers.empty()) return d->answers.front().meaning;
    return {};
  }
  if (const auto* d = ownDoc(e)) {
    const auto it = d->args.find(argument);
    return it == d->args.end() ? std::string() : it->second;
  }
  return {};
}

std::string ResultDoc(const InterfaceEntry& e) {
  if (const auto* d = commandDoc(e)) return d->codes;
  if (const auto* d = ownDoc(e)) return d->result;
  return {};
}

std::string MethodsReferenceMarkdown() {
  std::string md =
      "# The methods of ORBANTIS.IKELMORA\n\n"
      "Generated from the command rows and the interface table (`orbantis_methods_reference`); do not edit by "
      "hand. Every method returns its result and hands back its answer values in in-out strings. A command method "
      "fails with -4 (no answer values) or -5 (with answer values) when the exchange fails; `GetLastErrorMessage` "
      "then says whether the printer did not answer (\"Please check the link with this fiscal!\") or refused "
      "(\"Some of the status bytes:\" and its reasons). -3 means a value would break its data field and nothing "
      "was sent. The check codes -10500 and below come only with input or answer checks on.\n\n"
      "Types: `s` text, `i` 32-bit integer, `b` boolean. \"answer\" marks an in-out parameter.\n\n";
  auto section = [&](const InterfaceEntry& e) {
    md += "### " + e.name + "\n\n";
    md += "Dispatch id " + std::to_string(e.dispId);
    if (const char* row = RowOf(e)) {
      const cmd::Command* c = cmd::FindCommand(row);
      md += "; command " + std::to_string(c->row->code & 0xFF);
      if (!c->row->field.empty()) {
        std::string field;
        for (const char ch : c->row->field) field += ch == '\t' ? std::string("<TAB>") : ch == '\n' ? "<LF>" : std::string(1, ch);
        md += "; data field `" + field + "`";
      }
    }
    md += ".\n\n" + MethodSummary(e) + "\n\n";
    if (!e.args.empty()) {
      md += "| parameter | type | | meaning |\n|---|---|---|---|\n";
      for (const auto& a : e.args)
        md += "| " + a.name + " | " + typeName(a.type) + " | " + (a.inOut ? "answer" : "in") + " | " +
              cell(ArgumentDoc(e, a.name)) + " |\n";
      md += "\n";
    }
    const std::string result = ResultDoc(e);
    if (!result.empty()) md += "Result: " + result + "\n\n";
  };

  md += "## Connection, errors, status bits, header and footer, logo, receipts\n\n";
  for (const auto& e : InterfaceEntries())
    if (e.kind == EntryKind::Method && RowOf(e) == nullptr) section(e);

  const struct {
    const char* title;
    const std::vector<cmd::CommandDoc>& docs;
  } groups[] = {
      {"Fiscal receipts", cmd::ReceiptCommandDocs()},
      {"Status and information reads", cmd::StatusCommandDocs()},
      {"Reports and cash", cmd::ReportCommandDocs()},
      {"Texts, lines, barcodes and sounds", cmd::TextCommandDocs()},
      {"Configuration and identity", cmd::ConfigCommandDocs()},
      {"The item (PLU) database", cmd::ItemCommandDocs()},
      {"Fiscal memory", cmd::FiscalMemoryCommandDocs()},
      {"The electronic journal", cmd::JournalCommandDocs()},
      {"Logo rows and service commands", cmd::ServiceCommandDocs()},
  };
  for (const auto& g : groups) {
    md += "## " + std::string(g.title) + "\n\n";
    for (const auto& d : g.docs) {
      const InterfaceEntry* e = FindEntry(d.name);
      if (e == nullptr && std::string(d.name) == "CMD_121_0_0") e = FindEntry("CMD_121_0");
      if (e != nullptr) {
        section(*e);
        continue;
      }
      // A row the interface has no method for: reached with CUSTOM_CMD.
      const cmd::Command* c = cmd::FindCommand(d.name);
      md += "### " + std::string(d.name) + "\n\nNot on the interface: send command " +
            std::to_string(c->row->code & 0xFF) + " with `CUSTOM_CMD`.\n\n" + d.summary + "\n\n";
    }
  }
  md += "## Properties\n\n"
        "- `debugMode` (370, b): while true, every request and answer is traced in hexadecimal to "
        "`orbantis_LOG.txt` in `debugFolder`.\n"
        "- `debugFolder` (371, s): the trace's folder; empty means `$XDG_RUNTIME_DIR/ORBANTIS/`.\n"
        "- `codePage` (375, i, extension): the printer's code page, 1252 (Western, the default) or 1251 "
        "(Cyrillic); every text to and from the printer on this object is converted with it.\n"
        "- `replaceUnmappable` (377, b, extension): false (the default) refuses a text that holds a character "
        "the code page cannot print: the call answers -3 (`CUSTOM_CMD` its own -4), the last error names the "
        "parameter and the character (U+xxxx), the engine log has a `CONSTRUCT_INPUT` line, and nothing is "
        "sent. True prints \"?\" in its place, as older drivers did. Whole receipts (`printReceipt`) refuse "
        "such a document either way.\n";
  return md;
}

}  // namespace orbantis::automation
