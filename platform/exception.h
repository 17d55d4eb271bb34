// Exception base of the system. Exceptions are created with new and thrown as pointers;
// the catcher takes ownership at once (see ExceptionPtr) and calls Delete when done.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>

class CException {
  public:
    CException() = default;
    explicit CException(bool autoDelete) : autoDelete_(autoDelete) {}
    virtual ~CException() = default;
    CException(const CException&) = delete;
    CException& operator=(const CException&) = delete;

    // Copies the message into buffer (capacity in bytes, terminator included): at most
    // capacity - 1 bytes and a terminating zero; nothing when capacity is 0. helpContext is
    // left untouched. Always returns true.
    virtual bool GetErrorMessage(char* buffer, size_t capacity,
                                 unsigned* helpContext = nullptr) const;

    // The whole message text.
    virtual std::string Message() const = 0;

    // Shows the message through the installed reporter (the player installs a message box);
    // without one nothing is shown. style is passed on to the reporter; messageId, kept for
    // callers that give one, is not used.
    int ReportError(unsigned style = 0, unsigned messageId = 0) const;

    // Frees the object when it was created on the heap with auto-delete on.
    void Delete() {
        if (autoDelete_) delete this;
    }
    bool IsAutoDelete() const { return autoDelete_; }

    using Reporter = std::function<int(const std::string& message, unsigned style)>;
    // Installs the program's reporter; returns the previous one.
    static Reporter SetReporter(Reporter reporter);

  private:
    bool autoDelete_ = true;
};

// Owns a caught exception pointer and deletes it as its thrower asked.
struct ExceptionDeleter {
    void operator()(CException* e) const {
        if (e) e->Delete();
    }
};
using ExceptionPtr = std::unique_ptr<CException, ExceptionDeleter>;

// An exception that carries one ready-made text.
class CMessageException : public CException {
  public:
    explicit CMessageException(std::string message) : message_(std::move(message)) {}
    std::string Message() const override { return message_; }

  private:
    std::string message_;
};

// The one way to catch the system's errors: runs work and returns what it threw as an owned
// exception, or null when it succeeded. A CException* is taken as it is; std::bad_alloc
// becomes "Out of memory." and any other std::exception carries its own text.
template <typename Work>
ExceptionPtr CatchException(Work&& work) {
    try {
        work();
    } catch (CException* e) {
        return ExceptionPtr(e);
    } catch (const std::bad_alloc&) {
        return ExceptionPtr(new CMessageException("Out of memory."));
    } catch (const std::exception& e) {
        return ExceptionPtr(new CMessageException(e.what()));
    }
    return nullptr;
}
