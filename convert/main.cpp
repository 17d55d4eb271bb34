// corvane-convert: the player's conversion from the command line (see command_line.h).
#include "convert/command_line.h"
#include "convert/terminal_play.h"

int main(int argc, char** argv) {
    return RunCommandLine(argc, argv, PlayInTerminal);
}
