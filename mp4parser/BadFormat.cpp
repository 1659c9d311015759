#include "mp4parser/BadFormat.h"

#include <boost/throw_exception.hpp>

namespace ORVL {
namespace SDK {
namespace Brannock2 {

void ThrowBadFormat(const char* text) { boost::throw_exception(BadFormat(text)); }

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
