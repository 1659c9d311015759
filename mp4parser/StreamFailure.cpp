#include "mp4parser/StreamFailure.h"

#include <boost/throw_exception.hpp>

namespace ORVL {
namespace SDK {
namespace Brannock2 {

StreamFailure::StreamFailure(const std::string& text) : std::ios_base::failure(text), text_(text) {}

const char* StreamFailure::what() const noexcept { return text_.c_str(); }

void ThrowStreamFailure(const char* text) { boost::throw_exception(StreamFailure(text)); }

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
