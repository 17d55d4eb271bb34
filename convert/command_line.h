// The command line of corvane-convert: options, operands, usage and exit status (0 done,
// 1 a conversion failed, 2 wrong usage).
#pragma once

#include "convert/commands.h"

// Runs the command that argv asks for. Without play, --play is not offered.
int RunCommandLine(int argc, char** argv, const TerminalPlayer& play);
