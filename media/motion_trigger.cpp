#include "media/motion_trigger.h"

#include <boost/thread/tss.hpp>
#include <cstring>

#include "media/bit_reader.h"
#include "media/frame_header.h"
#include "media/tag_list.h"

std::vector<TMotionTriggerInfoEx>& ThreadMotionTriggers() {
    static boost::thread_specific_ptr<std::vector<TMotionTriggerInfoEx>> list;
    if (!list.get()) list.reset(new std::vector<TMotionTriggerInfoEx>());
    return *list;
}

namespace {

// Reads the count and its entries whatever length the tag declares.
void ReadMotionTriggers(BitReader& body, std::vector<TMotionTriggerInfoEx>& triggers) {
    const uint32_t count = body.Read(8);
    triggers.assign(count, TMotionTriggerInfoEx{});
    for (TMotionTriggerInfoEx& t : triggers) {
        t.index = static_cast<uint8_t>(body.Read(8));
        t.valid = 1;
        t.flag = body.Read(1);
        t.level = static_cast<uint8_t>(body.Read(7));
        for (uint16_t& v : t.values) v = static_cast<uint16_t>(body.Read(16));
    }
}

}  // namespace

size_t CollectMotionTriggers(const uint8_t* header, size_t headerSize) {
    std::vector<TMotionTriggerInfoEx>& triggers = ThreadMotionTriggers();
    triggers.clear();
    CheckFrameHeaderSize(header, headerSize);
    const FrameHeaderFields fields = ReadFrameHeaderFields(header);
    if (!IsVideoSyntax(MediaTypeOfCodec(header + 4)) || (fields.flags & kFlagTagList) == 0) return 0;
    BitReader reader(header + kFrameHeaderFixedSize, header + fields.headerLength);
    for (int w = 0; w < 3; ++w) {
        if (reader.Read(1)) reader.Skip(48);
    }
    reader.Skip(5);
    SkipZeroBytes(reader);
    while (reader.BytesRemaining() > 0) {
        const TagHeader tag = ReadTagHeader(reader);
        if (tag.number == kTagMotionTriggers) {
            ReadMotionTriggers(reader, triggers);
        } else {
            reader.TakeBytes(tag.length);
        }
    }
    return triggers.size();
}
