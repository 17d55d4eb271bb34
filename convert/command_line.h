// The command line of corvane-convert: options, operands, usage and exit status (0 done,
// 1 a conversion failed, 2 wrong usage).
#pragma once

#include "convert/commands.h"
#include "platform/standard_descriptors.h"

// Runs the command that argv asks for. Without play, --play is not offered. closed says which
// standard descriptors the program started without: a command that writes its result to a
// closed standard output (OUTPUT -, --info, --verbose) or reads a closed standard input
// (SOURCE -) fails before it starts.
int RunCommandLine(int argc, char** argv, const TerminalPlayer& play,
                   const ClosedStandardDescriptors& closed = {});
