#pragma once

// The two failures the live reader raises internally. Neither leaves the
// reader: the indexing and the entry points turn them into control flow and
// result codes.

#include <exception>

#include <boost/exception/errinfo_api_function.hpp>
#include <boost/exception/errinfo_errno.hpp>
#include <boost/exception/exception.hpp>
#include <boost/throw_exception.hpp>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

// A runtime-library stream call failed or returned fewer bytes than asked for.
// Carries boost::errinfo_api_function ("fread", "fseek", "ftell") and
// boost::errinfo_errno; thrown with BOOST_THROW_EXCEPTION so it records where.
struct IOException : virtual boost::exception, virtual std::exception {
    const char* what() const noexcept override { return "view-while-recording stream failure"; }
};

// The recorded data is malformed (a bad block header, an index block that does
// not match its data block, a length that runs past its packet).
struct ViewWhileRecException : virtual std::exception {
    const char* what() const noexcept override { return "view-while-recording data malformed"; }
};

// Raises IOException for the named call with the given errno.
#define VWR_THROW_IO(apiFunction, errorNumber)                           \
    BOOST_THROW_EXCEPTION(::ORVL::SDK::ViewWhileRecording::IOException() \
                          << ::boost::errinfo_api_function(apiFunction) << ::boost::errinfo_errno(errorNumber))

// Raises ViewWhileRecException; it carries no location.
[[noreturn]] inline void ThrowMalformed() { boost::throw_exception(ViewWhileRecException()); }

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
