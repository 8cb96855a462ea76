// Output of orbantis-cli: one line at a time, flushed at once, so events and
// results appear in the order they happen even when the output is a pipe.
#pragma once

#include <QString>

namespace orbantis::cli {

// Writes text and a line end to standard output (UTF-8).
void Out(const QString& text);
// Writes text and a line end to standard error (UTF-8).
void Err(const QString& text);

// The text with control characters made visible: \t, \n, \r, \xNN.
QString Shown(const QString& text);
// The text in double quotes; control characters, '"' and '\' escaped.
QString Quoted(const QString& text);

}  // namespace orbantis::cli
