#pragma once

// The tool's debug channel: diagnostics of the links and the device that a
// user does not need to see (each serial port that carries the adapter's
// ids, which link came up or went down and why). Nothing is written until a
// program installs a sink: turbexctl's --verbose sends the lines to
// standard error, the window installs none. They never go to standard
// output, which carries results (turbexctl ... --json | jq).
//
// Thread safety: DebugTrace may be called from any thread. Lines reach the
// sink one at a time, each whole, under the channel's lock, so a sink must
// not trace itself. SetDebugSink may be called at any time; once it has
// returned, the previous sink is no longer running and is not called again.

// Receives one line, without its line end.
using DebugSink = void (*)(const char* line, void* user);

// Installs sink (null: traces go nowhere).
void SetDebugSink(DebugSink sink, void* user);

// True while a sink is installed: a caller may skip building a costly text.
[[nodiscard]] bool DebugTraceEnabled();

// One line, printf-style; a line end at the end of the text is dropped.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
