// Calls the ORBANTIS server late-bound, by name through IDispatch, the way JScript
// does, against a printer (the software printer) on a COM port.
//
// Usage: cscript //nologo latebind.js [PORT]      (PORT: COM port number, default 5)
//
// JScript passes every argument by value, so the answers of in-out parameters do not
// come back here (receipt.vbs reads them through VBScript's ByRef). What is checked:
// methods and a property resolve by name, their results arrive as numbers, strings
// and booleans, the values reach the printer in their order, and a name the interface
// lacks is refused. Which dispatch id a name resolves to is checked from C++.
//
// It prints a receipt (one sale) on the printer. One line per check, "ok ..." or
// "FAIL ..."; exit status 0 when all passed, 1 when a check failed, 2 on a usage error
// or when the object could not be created.

var PROG_ID = "ORBANTIS.KELMORA";
var failures = 0;

function show(value) {
  return typeof value == "string" ? "\"" + value + "\"" : String(value) + " (" + typeof value + ")";
}

function describe(e) {
  return e.message + " (0x" + (e.number >>> 0).toString(16) + ")";
}

function ok(text) {
  WScript.Echo("ok " + text);
}

function fail(text) {
  WScript.Echo("FAIL " + text);
  failures++;
}

// expect(TEXT, CALL, TEST): runs CALL and passes when TEST(result) holds; a call that
// throws fails the check. Returns the result.
function expect(text, call, test) {
  var result;
  try {
    result = call();
  } catch (e) {
    fail(text + ": " + describe(e));
    return undefined;
  }
  if (test(result)) ok(text);
  else fail(text + ": got " + show(result));
  return result;
}

function is(want) {
  return function (got) { return got === want; };
}

var port = 5;
if (WScript.Arguments.length > 1 || (WScript.Arguments.length == 1 && !/^[0-9]{1,3}$/.test(WScript.Arguments.Item(0)))) {
  WScript.Echo("Usage: cscript //nologo latebind.js [PORT]   (PORT: COM port number, default 5)");
  WScript.Quit(2);
}
if (WScript.Arguments.length == 1) port = parseInt(WScript.Arguments.Item(0), 10);

var fp;
try {
  fp = new ActiveXObject(PROG_ID);
  ok("new ActiveXObject(\"" + PROG_ID + "\")");
} catch (e) {
  fail("new ActiveXObject(\"" + PROG_ID + "\"): " + describe(e));
  WScript.Quit(2);
}

// Without a printer object a command method answers -1 and sends nothing.
expect("CMD_121_0 before CONNECT_TO_PRINTER returns -1",
  function () { return fp.CMD_121_0("300", "16", ""); }, is(-1));

expect("initFiscalPrinter(" + port + ", 115200, true, true) returns 0",
  function () { return fp.initFiscalPrinter(port, 115200, true, true); }, is(0));
var connected = expect("CONNECT_TO_PRINTER returns 0 (COM" + port + ")",
  function () { return fp.CONNECT_TO_PRINTER(); }, is(0)) === 0;

if (!connected) {
  try {
    WScript.Echo("  error: " + fp.GetLastErrorMessage());
  } catch (e) {
    WScript.Echo("  GetLastErrorMessage: " + describe(e));
  }
} else {
  // The status read, with its six answers passed by value.
  expect("CMD_74_0_0(\"X\", ...) reads the status: 0",
    function () { return fp.CMD_74_0_0("X", "", "", "", "", "", ""); }, is(0));
  // An option the printer has not got is turned down before anything is sent; the
  // status reads leave their code as the last error.
  expect("CMD_74_0_0(\"Q\", ...) returns -74002 (option not W or X)",
    function () { return fp.CMD_74_0_0("Q", "", "", "", "", "", ""); }, is(-74002));
  expect("GetLastErrorCode returns -74002",
    function () { return fp.GetLastErrorCode(); }, is(-74002));

  // Memory read: address 300, 16 bytes is a read the printer serves; the same two
  // values the other way round ask for 300 bytes, which it refuses.
  expect("CMD_121_0(\"300\", \"16\", \"\") returns 0",
    function () { return fp.CMD_121_0("300", "16", ""); }, is(0));
  expect("CMD_121_0(\"16\", \"300\", \"\") returns -5 (refused)",
    function () { return fp.CMD_121_0("16", "300", ""); }, is(-5));
  expect("GetLastErrorMessage returns the refusal's text",
    function () { return fp.GetLastErrorMessage(); },
    function (text) { return typeof text == "string" && text.indexOf("Some of the status bytes") >= 0; });
  // The refusal carried status byte 0 bit 0 (syntax error), not byte 2 bit 0 (no paper).
  expect("GET_BIT_STATE(0, 0) is true after the refusal",
    function () { return fp.GET_BIT_STATE(0, 0); }, is(true));
  expect("GET_BIT_STATE(2, 0) is false",
    function () { return fp.GET_BIT_STATE(2, 0); }, is(false));
  expect("getStatusDescription(2, 0) returns the text of \"no paper\"",
    function () { return fp.getStatusDescription(2, 0); },
    function (text) { return typeof text == "string" && /no paper/i.test(text); });
  expect("the property debugMode reads as a boolean",
    function () { return fp.debugMode; }, function (value) { return typeof value == "boolean"; });

  // A receipt with the sale of two text lines, closed (the rest is paid in cash).
  expect("CMD_48_0_0(\"1\", \"0000\", \"1\", \"\", \"\") opens a receipt: 0",
    function () { return fp.CMD_48_0_0("1", "0000", "1", "", ""); }, is(0));
  expect("CMD_49_0_9(\"Espresso\", \"double\", \"A\", \"2.40\", \"2\", \"cup\") sells: 0",
    function () { return fp.CMD_49_0_9("Espresso", "double", "A", "2.40", "2", "cup"); }, is(0));
  expect("CMD_56_0_0(\"\", \"\") closes the receipt: 0",
    function () { return fp.CMD_56_0_0("", ""); }, is(0));
}

try {
  fp.CMD_999_0_0();
  fail("a name the interface lacks (CMD_999_0_0) is refused: the call went through");
} catch (e) {
  ok("a name the interface lacks (CMD_999_0_0) is refused: " + describe(e));
}

expect("CLOSE_CONNECTION returns 0",
  function () { return fp.CLOSE_CONNECTION(); }, is(0));
fp = null;

WScript.Quit(failures == 0 ? 0 : 1);
