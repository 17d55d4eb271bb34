#include "platform/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool IsClosed(int fd) {
    return ::fcntl(fd, F_GETFD) < 0 && errno == EBADF;
}

// Opens /dev/null as fd; the lower descriptors are all open, so open() returns fd itself.
void OpenOnNull(int fd) {
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd) ::_exit(127);
}

}  // namespace

ClosedStandardDescriptors OpenStandardDescriptors() {
    ClosedStandardDescriptors closed;
    bool* const flags[] = {&closed.input, &closed.output, &closed.error};
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (!IsClosed(fd)) continue;
        *flags[fd] = true;
        OpenOnNull(fd);
    }
    return closed;
}
