// corvane-convert: the player's conversion from the command line (see command_line.h).
#include "convert/command_line.h"
#include "convert/terminal_play.h"
#include "platform/standard_descriptors.h"

int main(int argc, char** argv) {
    const ClosedStandardDescriptors closed = OpenStandardDescriptors();
    return RunCommandLine(argc, argv, PlayInTerminal, closed);
}
