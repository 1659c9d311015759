#pragma once

// The rows of a day database arrive as INSERT texts that differ only in their
// values, and compiling each one costs more than storing it. A statement of
// the form INSERT ... VALUES(literals, ...) splits into its shape (the text
// with every literal a parameter) and its values, so that each shape is
// compiled once and executed with its values bound: the stored values are
// those the literals give.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace strata {

struct StatementValue {
    bool isText = false;
    std::int64_t integer = 0;
    std::string text;
};

struct StatementShape {
    std::string shape;
    std::vector<StatementValue> values;
};

// Nothing for any other statement, and for anything in one this reader does
// not take apart with certainty (comments, parameters, numbers that are not
// plain integers, blobs): those are compiled as they stand.
std::optional<StatementShape> ShapeOfInsert(const char* statement, std::size_t length);

}  // namespace strata
