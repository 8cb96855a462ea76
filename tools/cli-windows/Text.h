// Output of orbantis-cli.exe: one line at a time, written at once, so that
// events and results appear in the order they happen even through a pipe.
// Texts are UTF-8 inside the program; a console gets them with its output
// code page set to UTF-8, a pipe or a file gets the bytes as they are.
#pragma once

#include <string>
#include <string_view>

namespace orbantis::cli {

// Sets a console's output code page to UTF-8 for the run (the old one comes
// back at Restore, and on Ctrl+C). Nothing to do for pipes and files.
void SetUpConsole();
void RestoreConsole();

// Whether standard output is a console (the moving progress bar is drawn
// only there).
bool OutputIsConsole();

// Writes text and a line end (CR LF) to standard output / standard error.
// A line break inside text becomes CR LF too.
void Out(std::string_view text);
void Err(std::string_view text);
// Writes text as it is, without a line end (the progress bar).
void OutPart(std::string_view text);

// The text with control characters made visible: \t, \n, \r, \xNN.
std::string Shown(std::string_view text);
// The text in double quotes; control characters, '"' and '\' escaped.
std::string Quoted(std::string_view text);

// UTF-8 from UTF-16 (a BSTR, an argument) and back.
std::string Utf8(const wchar_t* text, std::size_t length);
std::string Utf8(const std::wstring& text);
std::wstring Utf16(std::string_view text);

// Letters compared without their case (ASCII: method names are ASCII).
bool SameIgnoringCase(std::string_view a, std::string_view b);
bool ContainsIgnoringCase(std::string_view text, std::string_view part);

}  // namespace orbantis::cli
