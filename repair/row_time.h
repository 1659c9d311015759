#pragma once

#include <boost/date_time/posix_time/ptime.hpp>
#include <cstdint>

// Conversions between the calendar times of the indexing and the whole
// seconds since 1970 that packets and database rows carry.

// Whole seconds since 1970-01-01 00:00:00, truncated toward zero, as the
// unsigned 32-bit number the database rows hold.
std::uint32_t RowSeconds(const boost::posix_time::ptime& time);

// The time of a packet: 1970-01-01 + seconds + milliseconds.
boost::posix_time::ptime PacketTime(std::uint32_t utcSeconds, std::uint32_t milliseconds);
