// Standard input, output and error that the starting process left closed (a daemon, "2>&-").
// Left closed, the next file a program opens would take the number, and its messages or its
// sound would land in that file. Every program opens them on /dev/null first thing in main.
#pragma once

struct ClosedStandardDescriptors {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null, before the program opens
// anything else; returns which ones were closed. Ends the process with status 127 when
// /dev/null cannot be opened (no message could be written safely then).
ClosedStandardDescriptors OpenStandardDescriptors();
