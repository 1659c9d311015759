#pragma once

#include <ios>
#include <string>

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// The stream-failure exception of the file source and the box reader. It is a
// std::ios_base::failure, but what() gives the short text alone: the standard
// library would append its own error description, and callers print what().
class StreamFailure : public std::ios_base::failure {
public:
    explicit StreamFailure(const std::string& text);
    const char* what() const noexcept override;

private:
    std::string text_;
};

// Throws a StreamFailure wrapped so that it can be copied across threads.
[[noreturn]] void ThrowStreamFailure(const char* text);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
