#pragma once

#include <stdexcept>
#include <string>

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// A box tree or sample that does not hold together. Known to callers as
// MP4Parser::bad_format.
class BadFormat : public std::runtime_error {
public:
    explicit BadFormat(const std::string& text) : std::runtime_error(text) {}
};

// Throws a BadFormat wrapped so that it can be copied across threads.
[[noreturn]] void ThrowBadFormat(const char* text);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
