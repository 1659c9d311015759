#include "platform/unicode_run.h"

namespace platform {

// Names are bytes here, passed on as the system gave them.
struct UnicodeRun::State {};

UnicodeRun::UnicodeRun(int&, char**&) {}
UnicodeRun::~UnicodeRun() = default;

}  // namespace platform
