' Prints a fiscal receipt through the ORBANTIS automation server.
'
' Usage: cscript //nologo receipt.vbs [PORT [BAUD]]
'
' PORT is the number of the printer's COM port (default 5: COM5), BAUD its speed
' (default 115200). The script creates the server's object by its ProgID,
' connects it to the printer, prints a receipt with two sales paid in cash, and
' closes the connection. It shows every result with the answers that came back,
' and the server's error text after a negative result; the rest of the receipt
' is then not sent.
'
' Answers come back through in-out (ByRef) parameters: pass a variable, set to
' "" first. A literal, or a variable in parentheses, is passed by value and
' stays as it was.
'
' Exit status: 0 every call succeeded, 1 a call returned a negative result,
' 2 a usage error, or the server could not be created or failed a call.

Option Explicit

Const PROG_ID = "ORBANTIS.KELMORA"

Dim fp, port, baud, status

port = 5
baud = 115200
status = 2
If WScript.Arguments.Count > 2 Then Usage
If WScript.Arguments.Count >= 1 Then
  If WScript.Arguments(0) = "/?" Or LCase(WScript.Arguments(0)) = "-h" Then Usage
End If
If WScript.Arguments.Count >= 1 Then port = WholeNumber(WScript.Arguments(0), "PORT")
If WScript.Arguments.Count = 2 Then baud = WholeNumber(WScript.Arguments(1), "BAUD")

' A call that fails as a call (the server went away, or refused the arguments)
' raises a script error; cscript would end with status 0 on it. Each call is
' followed by CheckCall instead.
On Error Resume Next

Set fp = CreateObject(PROG_ID)
If Err.Number <> 0 Then
  WScript.Echo "receipt.vbs: cannot create " & PROG_ID & ": " & ErrorText()
  WScript.Echo "  Is the server registered? orbantis.exe /RegServer (or the installer) does it."
  WScript.Quit 2
End If

status = Connect()
If status = 0 Then
  If Not PrintReceipt() Then status = 1
End If
' Also after a failed connect: the port may be open, and releasing the object
' does not close it.
If Not CloseConnection() Then status = 1
Set fp = Nothing
WScript.Quit status


' initFiscalPrinter and CONNECT_TO_PRINTER: 0 when connected, 1 otherwise.
Function Connect()
  Dim r
  On Error Resume Next
  Connect = 1
  ' DTR and RTS on, as the printer's cable expects.
  r = fp.initFiscalPrinter(CLng(port), CLng(baud), True, True)
  Result "initFiscalPrinter(" & port & ", " & baud & ", True, True)", r
  If Refused(r) Then Exit Function
  r = fp.CONNECT_TO_PRINTER()
  Result "CONNECT_TO_PRINTER", r
  If Refused(r) Then Exit Function
  Connect = 0
End Function

' The receipt; False at the first step the printer refused.
Function PrintReceipt()
  Dim r, recCnt, globRecCnt, subTotal, taxA, taxB, taxC, taxD, taxE, taxF, paidCode, amountOut
  On Error Resume Next
  PrintReceipt = False

  ' Open a fiscal receipt: operator 1, password 0000, till 1.
  recCnt = "": globRecCnt = ""
  r = fp.CMD_48_0_0("1", "0000", "1", recCnt, globRecCnt)
  Result "CMD_48_0_0", r
  Answer "RecCnt", recCnt
  Answer "GlobRecCnt", globRecCnt
  If Refused(r) Then Exit Function

  ' A sale in tax group B at 1.10, without text.
  r = fp.CMD_49_0_0("B", "1.10")
  Result "CMD_49_0_0", r
  If Refused(r) Then Exit Function

  ' A sale with two text lines: 2 cups at 2.40 in tax group A.
  r = fp.CMD_49_0_9("Espresso", "double", "A", "2.40", "2", "cup")
  Result "CMD_49_0_9", r
  If Refused(r) Then Exit Function

  ' Subtotal: printed (1), not shown on the display (0); the total so far and
  ' the tax in each group come back.
  subTotal = "": taxA = "": taxB = "": taxC = "": taxD = "": taxE = "": taxF = ""
  r = fp.CMD_51_0_0("1", "0", subTotal, taxA, taxB, taxC, taxD, taxE, taxF)
  Result "CMD_51_0_0", r
  Answer "SubTotal", subTotal
  Answer "TaxA", taxA
  Answer "TaxB", taxB
  Answer "TaxC", taxC
  Answer "TaxD", taxD
  Answer "TaxE", taxE
  Answer "TaxF", taxF
  If Refused(r) Then Exit Function

  ' 10.00 paid in cash (P). PaidCode R: paid in full, Amount_Out is the change;
  ' D: Amount_Out is still due.
  paidCode = "": amountOut = ""
  r = fp.CMD_53_0_0("P", "10.00", paidCode, amountOut)
  Result "CMD_53_0_0", r
  Answer "PaidCode", paidCode
  Answer "Amount_Out", amountOut
  If Refused(r) Then Exit Function

  ' Close the receipt: its numbers in the day and over the printer's life.
  recCnt = "": globRecCnt = ""
  r = fp.CMD_56_0_0(recCnt, globRecCnt)
  Result "CMD_56_0_0", r
  Answer "RecCnt", recCnt
  Answer "GlobRecCnt", globRecCnt
  If Refused(r) Then Exit Function

  PrintReceipt = True
End Function

Function CloseConnection()
  Dim r
  On Error Resume Next
  r = fp.CLOSE_CONNECTION()
  Result "CLOSE_CONNECTION", r
  CloseConnection = Not Refused(r)
End Function

' Shows a method's result, once the call itself went through.
Sub Result(name, r)
  CheckCall name
  WScript.Echo name & " -> " & r
End Sub

Sub Answer(name, value)
  WScript.Echo "  " & name & " = " & value
End Sub

' True for a negative result, after showing the server's text for it.
Function Refused(r)
  Dim text
  On Error Resume Next
  Refused = (r < 0)
  If Not Refused Then Exit Function
  text = fp.GetLastErrorMessage()
  CheckCall "GetLastErrorMessage"
  If text = "" Then text = "(no text)"
  ' The printer's reasons come one to a line.
  WScript.Echo "  error: " & Replace(text, vbCrLf, vbCrLf & "    ")
End Function

Sub CheckCall(name)
  If Err.Number <> 0 Then
    WScript.Echo "receipt.vbs: " & name & " failed: " & ErrorText()
    WScript.Quit 2
  End If
End Sub

Function ErrorText()
  ErrorText = Err.Description & " (0x" & Hex(Err.Number) & ")"
End Function

Function WholeNumber(text, name)
  Dim digits
  Set digits = New RegExp
  digits.Pattern = "^[0-9]{1,6}$"
  If Not digits.Test(text) Then
    WScript.Echo "receipt.vbs: " & name & " must be a number, not '" & text & "'"
    Usage
  End If
  WholeNumber = CLng(text)
End Function

Sub Usage()
  WScript.Echo "Usage: cscript //nologo receipt.vbs [PORT [BAUD]]" & vbCrLf & _
               "  PORT  the printer's COM port number (default 5: COM5)" & vbCrLf & _
               "  BAUD  its speed (default 115200)"
  WScript.Quit 2
End Sub
