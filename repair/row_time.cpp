#include "repair/row_time.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>

namespace {

const boost::posix_time::ptime& Epoch() {
    static const boost::posix_time::ptime epoch(boost::gregorian::date(1970, 1, 1));
    return epoch;
}

}  // namespace

std::uint32_t RowSeconds(const boost::posix_time::ptime& time) {
    if (time.is_special()) return 0;
    const boost::posix_time::time_duration sinceEpoch = time - Epoch();
    // Integer division truncates toward zero, also before 1970.
    const std::int64_t seconds = sinceEpoch.ticks() / sinceEpoch.ticks_per_second();
    return static_cast<std::uint32_t>(seconds);
}

boost::posix_time::ptime PacketTime(std::uint32_t utcSeconds, std::uint32_t milliseconds) {
    return Epoch() + boost::posix_time::seconds(static_cast<long>(utcSeconds)) +
           boost::posix_time::milliseconds(static_cast<std::int64_t>(milliseconds));
}
