#pragma once

// A minimal box walker for checking what the writer produced.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writertest {

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) << 24 | static_cast<std::uint32_t>(b.at(at + 1)) << 16 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 8 | b.at(at + 3);
}

inline std::uint64_t U64(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint64_t>(U32(b, at)) << 32 | U32(b, at + 4);
}

struct Box {
    std::string type;
    std::size_t start = 0;
    std::size_t header = 8;
    std::uint64_t size = 0;
    std::size_t BodyStart() const { return start + header; }
    std::size_t End() const { return start + size; }
};

// The boxes between begin and end; zero words between boxes are skipped.
inline std::vector<Box> Children(const std::vector<std::uint8_t>& b, std::size_t begin, std::size_t end) {
    std::vector<Box> boxes;
    std::size_t at = begin;
    while (at + 8 <= end) {
        if (U32(b, at) == 0) {
            at += 4;
            continue;
        }
        Box box;
        box.start = at;
        box.size = U32(b, at);
        box.type.assign(reinterpret_cast<const char*>(&b[at + 4]), 4);
        if (box.size == 1) {
            box.size = U64(b, at + 8);
            box.header = 16;
        }
        if (box.size < box.header || box.End() > end) {
            break;
        }
        boxes.push_back(box);
        at = box.End();
    }
    return boxes;
}

inline std::vector<std::string> Types(const std::vector<Box>& boxes) {
    std::vector<std::string> types;
    for (const Box& box : boxes) types.push_back(box.type);
    return types;
}

// Follows a path such as {"moov", "trak", "mdia"}; the n-th match of the last step.
inline std::optional<Box> Find(const std::vector<std::uint8_t>& b, std::size_t begin, std::size_t end,
                               const std::vector<std::string>& path, std::size_t nth = 0) {
    std::optional<Box> found;
    for (std::size_t step = 0; step < path.size(); ++step) {
        std::size_t seen = 0;
        found.reset();
        for (const Box& box : Children(b, begin, end)) {
            if (box.type == path[step] && (step + 1 < path.size() || seen++ == nth)) {
                found = box;
                break;
            }
        }
        if (!found) return found;
        begin = found->BodyStart();
        end = found->End();
    }
    return found;
}

}  // namespace writertest
