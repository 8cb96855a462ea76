' Prints a whole receipt exactly once through the ORBANTIS automation server.
'
' Usage: cscript //nologo whole_receipt.vbs [PORT [KEY]]
'
' PORT is the number of the printer's COM port (default 5: COM5). KEY names the
' sale (default: one made from the time): the same key sent again never prints
' the receipt a second time. The script sends its receipt document twice under
' one key, as a till does when it did not see the first answer (the link broke,
' the till restarted), and shows both answers: the second is the first one's,
' marked "repeated". getReceipt then reads what became of the key.
'
' The document is JSON: the key, the operator, the items and, when left out,
' payment of the exact total in cash. The answer is JSON too: "state" says
' "printed", "cancelled", "failed" or "attention" (a person must look at the
' printer), with the receipt's numbers and a message that says what to do.
'
' Exit status: 0 printed once, 1 not printed (the answer says why), 2 a usage
' error, or the server could not be created or failed a call.

Option Explicit

Const PROG_ID = "ORBANTIS.KELMORA"

Dim fp, port, key, document, answer, r, status

port = 5
key = "vbs-" & Year(Now) & Right("0" & Month(Now), 2) & Right("0" & Day(Now), 2) & "-" & _
      Right("00000" & CLng(Timer * 10), 6)
If WScript.Arguments.Count > 2 Then Usage
If WScript.Arguments.Count >= 1 Then
  If WScript.Arguments(0) = "/?" Or LCase(WScript.Arguments(0)) = "-h" Then Usage
  port = CLng(WScript.Arguments(0))
End If
If WScript.Arguments.Count = 2 Then key = WScript.Arguments(1)

document = "{""key"": """ & key & """, " & _
           """operator"": {""code"": 1, ""password"": ""0000"", ""till"": 1}, " & _
           """items"": [{""text"": ""Green tea"", ""taxGroup"": ""A"", ""price"": ""1.80"", ""unit"": ""cup""}, " & _
           "{""text"": ""Scone"", ""taxGroup"": ""A"", ""price"": ""2.20"", ""unit"": ""pc""}]}"

On Error Resume Next
Set fp = CreateObject(PROG_ID)
If Err.Number <> 0 Then
  WScript.Echo "whole_receipt.vbs: cannot create " & PROG_ID & ": " & Err.Description
  WScript.Quit 2
End If

r = fp.initFiscalPrinter(CLng(port), 115200, True, True)
Check "initFiscalPrinter", r
r = fp.CONNECT_TO_PRINTER()
Check "CONNECT_TO_PRINTER", r

status = 0
' The first answer may never reach a till; it sends the same document again.
answer = ""
r = fp.printReceipt(document, answer)
CheckCall "printReceipt"
WScript.Echo "printReceipt -> " & r
WScript.Echo "  answer = " & answer
If r <> 0 Then status = 1
answer = ""
r = fp.printReceipt(document, answer)
CheckCall "printReceipt"
WScript.Echo "printReceipt again -> " & r
WScript.Echo "  answer = " & answer
If r <> 0 Then status = 1

answer = ""
r = fp.getReceipt(key, answer)
CheckCall "getReceipt"
WScript.Echo "getReceipt -> " & r
WScript.Echo "  answer = " & answer

r = fp.CLOSE_CONNECTION()
Set fp = Nothing
WScript.Quit status

Sub Check(name, r)
  CheckCall name
  WScript.Echo name & " -> " & r
  If r < 0 Then
    WScript.Echo "  error: " & fp.GetLastErrorMessage()
    fp.CLOSE_CONNECTION
    WScript.Quit 1
  End If
End Sub

Sub CheckCall(name)
  If Err.Number <> 0 Then
    WScript.Echo "whole_receipt.vbs: " & name & " failed: " & Err.Description & " (0x" & Hex(Err.Number) & ")"
    WScript.Quit 2
  End If
End Sub

Sub Usage()
  WScript.Echo "Usage: cscript //nologo whole_receipt.vbs [PORT [KEY]]" & vbCrLf & _
               "  PORT  the printer's COM port number (default 5: COM5)" & vbCrLf & _
               "  KEY   the sale's key (default: one made from the time)"
  WScript.Quit 2
End Sub
