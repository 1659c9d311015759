#include "BoxProbe.h"

#include "DataReader.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

BoxHeader ReadBoxHeader(DataReader& reader) {
    BoxHeader box;
    box.size = reader.ReadU32();
    reader.GetData(box.type, sizeof box.type);
    box.headerLength = 8;
    if (box.size == 1) {
        box.size = reader.ReadU64();
        box.headerLength += 8;
    }
    if (box.Is("uuid")) {
        std::uint8_t extendedType[16];
        reader.GetData(extendedType, sizeof extendedType);
        box.headerLength += sizeof extendedType;
    }
    return box;
}

}  // namespace

BoxHeader ProbeBox(DataReader& reader) {
    const std::uint64_t start = reader.Position();
    try {
        BoxHeader box = ReadBoxHeader(reader);
        reader.SetPosition(start);
        return box;
    } catch (...) {
        // A probe cut short by the end of the written data must not leave the
        // reader inside the box: the next probe starts at the same boundary.
        reader.SetPosition(start);
        throw;
    }
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
