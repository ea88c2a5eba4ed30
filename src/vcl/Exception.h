// The failures our VCL layer reports: construction of a form that cannot be
// built, and the silent abort a handler may raise. The application object
// shows any std::exception that escapes a handler or start-up.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vcl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Ends a handler without a message.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

}  // namespace vcl
