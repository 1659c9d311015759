#include "repair/recording_name.h"

#include <algorithm>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/date_time/posix_time/time_parsers.hpp>
#include <boost/filesystem/path.hpp>
#include <numeric>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace {

constexpr std::size_t kTimeTextLength = 17;         // YYYY-MM-DD?HHMMSS
constexpr std::size_t kTimeTextEndFromNameEnd = 4;  // ".3gp"
constexpr std::size_t kShortestTimedName = kTimeTextLength + kTimeTextEndFromNameEnd;

}  // namespace

std::string RecordingFileName(const std::string& path) {
#ifndef _WIN32
    // A path that ends in a name: the name is what follows the last separator.
    // Anything else (a root, a trailing separator) is left to the library.
    const std::size_t separator = path.rfind('/');
    if (!path.empty() && path.back() != '/') {
        return separator == std::string::npos ? path : path.substr(separator + 1);
    }
#endif
    return boost::filesystem::path(path).filename().string();
}

std::uint64_t GetFileSerial(const std::string& path) {
    const std::string name = RecordingFileName(path);
    const std::size_t end = std::min(name.find('_'), name.size());
    // The recorder's names: up to nine digits always fit, and read as the
    // stream reads them without the cost of a stream per file.
    if (end >= 1 && end <= 9 &&
        std::all_of(name.begin(), name.begin() + end, [](char c) { return c >= '0' && c <= '9'; })) {
        std::uint32_t serial = 0;
        for (std::size_t i = 0; i < end; ++i) serial = serial * 10 + static_cast<std::uint32_t>(name[i] - '0');
        return serial;
    }
    std::istringstream in(name.substr(0, end));
    std::uint32_t serial = 0;
    if (!(in >> serial)) serial = 0;
    return serial;
}

namespace {

// YYYY-MM-DD?HHMMSS all in digits, as recorders name their files: built as
// the text parser builds it (the same date constructor, so the same
// exceptions for impossible dates), at a fraction of its cost per file.
std::optional<boost::posix_time::ptime> PlainRecordingTime(const char* text) {
    static const char kShape[] = "dddd-dd-dd?dddddd";
    for (std::size_t i = 0; i < kTimeTextLength; ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : kShape[i] == '-' && text[i] != '-') return std::nullopt;
    }
    auto number = [text](std::size_t at, std::size_t digits) {
        unsigned short value = 0;
        for (std::size_t i = at; i < at + digits; ++i)
            value = static_cast<unsigned short>(value * 10 + (text[i] - '0'));
        return value;
    };
    const unsigned short year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const boost::gregorian::date date(year, month, day);
    return boost::posix_time::ptime(date,
                                    boost::posix_time::time_duration(number(11, 2), number(13, 2), number(15, 2)));
}

}  // namespace

boost::posix_time::ptime RecordTimeFromFileName(const std::string& fileName) {
    if (fileName.size() < kShortestTimedName) {
        throw std::out_of_range("file name too short to hold a recording time: " + fileName);
    }
    if (const auto plain = PlainRecordingTime(fileName.data() + fileName.size() - kShortestTimedName)) return *plain;
    std::string text = fileName.substr(fileName.size() - kShortestTimedName, kTimeTextLength);
    text[10] = ' ';
    text.insert(13, ":");
    text.insert(16, ":");
    const boost::posix_time::ptime time = boost::posix_time::time_from_string(text);
    if (time.is_special()) throw std::invalid_argument("not a recording time: " + text);
    return time;
}

boost::posix_time::ptime RecordStartFromName(const std::string& fileName, long biasMinutes, bool daylightSaving) {
    const boost::posix_time::ptime utc = RecordTimeFromFileName(fileName) + boost::posix_time::minutes(biasMinutes);
    return daylightSaving ? utc - boost::posix_time::hours(1) : utc;
}

std::vector<std::size_t> SerialOrder(const std::vector<std::string>& paths) {
    // Each serial is read once rather than at every comparison.
    std::vector<std::uint64_t> serials;
    serials.reserve(paths.size());
    for (const std::string& path : paths) serials.push_back(GetFileSerial(path));
    std::vector<std::size_t> order(paths.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Stable, so that equal serials (names without a number, or two counters'
    // recordings in one folder) keep the order given on every build: the
    // listing's for the repair, the names' for the audit. An unstable sort
    // leaves them wherever the library's partitioning happens to.
    std::stable_sort(order.begin(), order.end(),
                     [&serials](std::size_t a, std::size_t b) { return serials[a] < serials[b]; });
    return order;
}
