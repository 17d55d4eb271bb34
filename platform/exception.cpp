#include "platform/exception.h"

#include <cstring>
#include <iostream>
#include <mutex>

namespace {

std::mutex reporterMutex;

CException::Reporter& InstalledReporter() {
    static CException::Reporter reporter = [](const std::string& message, unsigned) {
        std::cerr << message << '\n';
        return 1;
    };
    return reporter;
}

}  // namespace

bool CException::GetErrorMessage(char* buffer, size_t capacity, unsigned*) const {
    if (buffer == nullptr || capacity == 0) return true;
    const std::string text = Message();
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

int CException::ReportError(unsigned style, unsigned) const {
    // The whole text, not a fixed 512-byte buffer: file errors carry a path, which can be
    // longer than that.
    const std::string text = Message();
    Reporter reporter;
    {
        std::lock_guard lock(reporterMutex);
        reporter = InstalledReporter();
    }
    return reporter ? reporter(text, style) : 0;
}

CException::Reporter CException::SetReporter(Reporter reporter) {
    std::lock_guard lock(reporterMutex);
    Reporter previous = std::move(InstalledReporter());
    InstalledReporter() = std::move(reporter);
    return previous;
}
