' Prices and quantities a till passes as numbers (Double, Currency, Single,
' Integer; by value and in a variable), run by run_scripts.sh with a
' decimal-comma locale: the server turns them into text with the invariant
' locale, so each sale goes through. Text the till wrote itself with a comma
' (CStr) stays refused.
'
' Usage: cscript //nologo numbers.vbs PORT
' One line per call, "NAME -> RESULT"; exit status 2 when a call itself failed.

Option Explicit

Dim fp, port, r, recCnt, globRecCnt, price, paidCode, amountOut

port = CLng(WScript.Arguments(0))
On Error Resume Next
Set fp = CreateObject("ORBANTIS.KELMORA")
Check "CreateObject"
' What this locale makes of a number written as text.
WScript.Echo "this locale writes " & CStr(2.5)

r = fp.initFiscalPrinter(port, 115200, True, True)
Show "initFiscalPrinter", r
r = fp.CONNECT_TO_PRINTER()
Show "CONNECT_TO_PRINTER", r
recCnt = "": globRecCnt = ""
r = fp.CMD_48_0_0("1", "0000", "1", recCnt, globRecCnt)
Show "CMD_48_0_0", r

r = fp.CMD_49_0_9("Double", "by value", "A", 2.5, 1, "pc")
Show "Double by value", r
price = 1.25
r = fp.CMD_49_0_9("Double", "in a variable", "A", price, 2, "pc")
Show "Double in a variable", r
r = fp.CMD_49_0_9("Currency", "by value", "A", CCur(3.75), 1, "pc")
Show "Currency by value", r
r = fp.CMD_49_0_9("Single", "by value", "A", CSng(0.5), 1, "pc")
Show "Single by value", r
r = fp.CMD_49_0_9("Integer", "by value", "A", CInt(4), 1, "pc")
Show "Integer by value", r
r = fp.CMD_49_0_9("Text", "with a comma", "A", CStr(2.5), 1, "pc")
Show "CStr text", r

paidCode = "": amountOut = ""
r = fp.CMD_53_0_0("P", 20, paidCode, amountOut)
Show "CMD_53_0_0", r
WScript.Echo "  Amount_Out = " & amountOut
recCnt = "": globRecCnt = ""
r = fp.CMD_56_0_0(recCnt, globRecCnt)
Show "CMD_56_0_0", r
r = fp.CLOSE_CONNECTION()
Set fp = Nothing
WScript.Quit 0

Sub Show(name, r)
  Check name
  WScript.Echo name & " -> " & r
End Sub

Sub Check(name)
  If Err.Number <> 0 Then
    WScript.Echo "numbers.vbs: " & name & " failed: " & Err.Description & " (0x" & Hex(Err.Number) & ")"
    WScript.Quit 2
  End If
End Sub
