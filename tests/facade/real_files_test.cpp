// Recordings made by another muxer (tests/data/make.sh): the facade's first
// and last packet times equal the creation time plus the first and last
// sample times of the first video track, as ffprobe reported them
// (expectations.txt tells how).

#include "media/media_packet.h"
#include "media/parsers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct Expectation {
    std::string file;
    std::uint64_t created = 0;
    std::uint64_t firstMs = 0;
    std::uint64_t lastMs = 0;
    std::uint32_t packets = 0;
};

void PrintTo(const Expectation& e, std::ostream* out) { *out << e.file; }

std::vector<Expectation> LoadExpectations() {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/expectations.txt");
    std::vector<Expectation> all;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Expectation e;
        if (fields >> e.file >> e.created >> e.firstMs >> e.lastMs >> e.packets) all.push_back(e);
    }
    return all;
}

std::uint64_t Ms(const TMediaPacket* p) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(p->utcSeconds)) * 1000 + p->milliseconds;
}

class RealFiles : public ::testing::TestWithParam<Expectation> {};

}  // namespace

TEST_P(RealFiles, FirstAndLastPacketTimesMatchFfprobe) {
    const Expectation& e = GetParam();
    ::testing::internal::CaptureStderr();
    CParsers facade(std::string(TEST_DATA_DIR) + "/" + e.file);
    ASSERT_TRUE(facade.IsOpened()) << ::testing::internal::GetCapturedStderr();
    facade.FilterTracks();
    const TMediaPacket* first = facade.Read();
    ASSERT_NE(first, nullptr) << ::testing::internal::GetCapturedStderr();
    EXPECT_LT(first->mediaType, 255u);
    EXPECT_EQ(Ms(first), e.created * 1000 + e.firstMs);
    // The rest of the video track, in order.
    std::uint32_t packets = 1;
    while (facade.Read()) ++packets;
    EXPECT_EQ(packets, e.packets);
    EXPECT_EQ(facade.SeekBackward(), 0);
    const TMediaPacket* last = facade.ReadBackward();
    ASSERT_NE(last, nullptr) << ::testing::internal::GetCapturedStderr();
    EXPECT_LT(last->mediaType, 255u);
    EXPECT_EQ(Ms(last), e.created * 1000 + e.lastMs);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, RealFiles, ::testing::ValuesIn(LoadExpectations()),
                         [](const ::testing::TestParamInfo<Expectation>& info) {
                             std::string name = info.param.file;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

// A fragmented file keeps its samples outside the movie: it is not read.
TEST(RealFiles, FragmentedFileIsBadFormat) {
    ::testing::internal::CaptureStderr();
    CParsers facade(std::string(TEST_DATA_DIR) + "/fragmented.mp4");
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(facade.IsOpened());
    EXPECT_NE(log.find("failed: bad format"), std::string::npos) << log;
}
