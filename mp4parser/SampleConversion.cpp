#include "mp4parser/SampleConversion.h"

#include <cstring>
#include <stdexcept>

#include "media/start_code.h"
#include "mp4parser/BadFormat.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

enum AvcUnitType : unsigned {
    kIdrSlice = 5,
    kSei = 6,
    kSequenceParameterSet = 7,
    kPictureParameterSet = 8,
    kPrefixUnit = 14,
};

// Walks the length-prefixed units of one sample and writes start-code units.
class UnitConverter {
public:
    UnitConverter(FileReader& reader, std::uint32_t sampleSize, unsigned lengthSize, std::uint8_t* out,
                  std::size_t capacity)
        : reader_(reader),
          readLength_(FileReader::UIntReaderOfWidth(lengthSize)),
          lengthSize_(lengthSize),
          remaining_(sampleSize),
          out_(out),
          capacity_(capacity) {}

    bool HasUnits() const { return remaining_ != 0; }

    // Reads the next unit's length; the whole unit must lie in the sample.
    std::uint32_t NextUnitLength() {
        if (remaining_ < lengthSize_) ThrowBadFormat("bad unit length");
        const std::uint32_t length = readLength_(reader_);
        remaining_ -= lengthSize_;
        if (length > remaining_) ThrowBadFormat("bad unit length");
        return length;
    }

    std::uint8_t ReadUnitHeader(std::uint32_t length) {
        remaining_ -= length;
        return reader_.ReadU8();
    }

    // The unit whose header byte was read, with its other length - 1 bytes.
    void WriteUnit(std::uint8_t unitHeader, std::uint32_t length) {
        Put(kUnitStartCode, kUnitStartCodeLength);
        Put(&unitHeader, 1);
        reader_.ReadBytes(Claim(length - 1), length - 1);
    }

    void DropUnit(std::uint32_t length) { reader_.Skip(static_cast<std::int64_t>(length) - 1); }

    void CopyUnit(std::uint32_t length) {
        remaining_ -= length;
        Put(kUnitStartCode, kUnitStartCodeLength);
        reader_.ReadBytes(Claim(length), length);
    }

    // An empty unit becomes a bare start code.
    void CopyRemainingUnits() {
        while (HasUnits()) CopyUnit(NextUnitLength());
    }

    void Put(const std::uint8_t* bytes, std::size_t count) {
        if (count != 0) std::memcpy(Claim(count), bytes, count);
    }

    std::size_t Written() const { return used_; }

private:
    std::uint8_t* Claim(std::size_t count) {
        if (count > capacity_ - used_) throw std::logic_error("sample buffer too small");
        std::uint8_t* at = out_ + used_;
        used_ += count;
        return at;
    }

    FileReader& reader_;
    FileReader::UIntReader readLength_;
    unsigned lengthSize_;
    std::uint32_t remaining_;
    std::uint8_t* out_;
    std::size_t capacity_;
    std::size_t used_ = 0;
};

// The key-frame pass of an H.264 sample: up to the first IDR slice, or up to
// an in-band sequence parameter set that makes the stored sets unneeded.
void ConvertAvcKeyFrameHead(UnitConverter& units, const std::vector<std::uint8_t>& parameterSets) {
    bool inserted = false;
    while (units.HasUnits()) {
        const std::uint32_t length = units.NextUnitLength();
        if (length == 0) {
            // No header byte to look at: a bare start code, as after this pass.
            units.CopyUnit(0);
            continue;
        }
        const std::uint8_t unitHeader = units.ReadUnitHeader(length);
        const unsigned type = unitHeader & 0x1F;
        bool written = true;
        switch (type) {
            case kIdrSlice:
            case kSei:
            case kPrefixUnit:
                if (!inserted) {
                    units.Put(parameterSets.data(), parameterSets.size());
                    inserted = true;
                }
                units.WriteUnit(unitHeader, length);
                break;
            case kSequenceParameterSet:
                if (inserted) {
                    units.DropUnit(length);
                    written = false;
                } else {
                    units.WriteUnit(unitHeader, length);
                }
                break;
            case kPictureParameterSet:
                units.DropUnit(length);
                written = false;
                break;
            default:
                units.WriteUnit(unitHeader, length);
                break;
        }
        if (type == kIdrSlice || (type == kSequenceParameterSet && written)) return;
    }
}

}  // namespace

std::size_t WorstCaseConvertedSize(std::uint32_t sampleSize, unsigned lengthSize, std::size_t parameterSetsLength) {
    std::size_t worst = parameterSetsLength + sampleSize;
    if (lengthSize < 4) worst += (4 - lengthSize) * (sampleSize / lengthSize);
    return worst;
}

std::size_t ConvertAvcSample(FileReader& reader, std::uint32_t sampleSize, bool keyFrame, unsigned lengthSize,
                             const std::vector<std::uint8_t>& parameterSets, std::uint8_t* out, std::size_t capacity) {
    UnitConverter units(reader, sampleSize, lengthSize, out, capacity);
    if (keyFrame) ConvertAvcKeyFrameHead(units, parameterSets);
    units.CopyRemainingUnits();
    return units.Written();
}

std::size_t ConvertHevcSample(FileReader& reader, std::uint32_t sampleSize, bool keyFrame, unsigned lengthSize,
                              const std::vector<std::uint8_t>& parameterSets, std::uint8_t* out, std::size_t capacity) {
    UnitConverter units(reader, sampleSize, lengthSize, out, capacity);
    if (keyFrame) units.Put(parameterSets.data(), parameterSets.size());
    units.CopyRemainingUnits();
    return units.Written();
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
