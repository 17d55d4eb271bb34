// Diagnostic trace, so that tests and bug reports can follow from outside what the player
// shows and plays. When the environment variable CORVANE_TRACE names a file, the player
// appends one line per event to it, each written out at once:
//   open <path>      <path> was converted and is now the loaded recording
//   name <text>      the file-name line shows <text>
//   play             playback started or resumed
//   stop             the loaded recording was stopped: the Stop button, a hand-over, or
//                    the end of the recording
//   skipsilence on|off, levelvoice on|off
//                    the user switched a voice tool
//   error <message>  an error was reported; its message box is then closed at once, as if
//                    OK had been pressed, so that nothing waits for a click
//   nolisten <message>  the hand-over socket could not be opened; <message> is the line
//                    the player also writes on stderr after "corvane: "
//   list <count> <new>  a folder is listed: <count> messages, <new> of them new (told after
//                    it opens and whenever either number changes)
//   list closed      the list closed: a file from outside the folder was opened
//   next, previous   the Next or Previous command opens the message after or before; its
//                    open follows
//   autonext         a message ended and Play Next Automatically opens the next new one
//   heard <file>     the message in <file> (its name without the folder) counts as heard
//   new <file>       Mark as New made it new again
//   trash <file>     Delete moved it (and its sidecar text) to the Trash
//   restore <file>   the undo put it back
//   arrived <file>   it landed in the listed folder
//   stall <ms>       the window's thread did not run its event loop for <ms> milliseconds,
//                    the longest so far (over kStallReportMs only)
// A backslash in a text is written as "\\" and a line end as "\n", so every event is one
// line. Without the variable nothing is written and the player behaves exactly as usual.
#pragma once

#include <QString>

class QObject;

// True when CORVANE_TRACE names a file (read once, at the first call).
bool TraceEnabled();

// Appends event as one line to the trace file; does nothing when tracing is off.
void Trace(const QString& event);

// Stalls of the event loop shorter than this are not traced.
inline constexpr int kStallReportMs = 50;

// While tracing: watches the event loop of parent's thread for as long as parent lives and
// traces each new longest stall.
void TraceEventLoopStalls(QObject* parent);
