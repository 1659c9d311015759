#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "app/console.h"

namespace {

TEST(Console, CodesAreTwosComplementHexThenDecimalAgain) {
    const struct {
        std::int32_t code;
        const char* text;
    } cases[] = {{-1, "ffffffff"}, {-2, "fffffffe"}, {0, "0"}, {255, "ff"}, {-2147483647 - 1, "80000000"},
                 {0x7fffffff, "7fffffff"}};
    for (const auto& c : cases) {
        std::ostringstream out;
        console::WriteCode(out, c.code);
        out << ' ' << 42;
        EXPECT_EQ(out.str(), std::string(c.text) + " 42");
    }
}

TEST(Console, BannerHasThirteenLinesOfFortyNineAllowedCharacters) {
    for (const char* line : console::kBannerLines) {
        EXPECT_EQ(std::strlen(line), 49u) << line;
        EXPECT_EQ(std::strspn(line, " ;`,:."), 49u) << line;
    }
}

TEST(Console, ExceptionReportsUseTheTwoFixedForms) {
    testing::internal::CaptureStdout();
    console::ReportStdException("RepairStorage", std::runtime_error("boom"));
    console::ReportUnknownException("RepairStorage");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "RepairStorage - got std::exception: boom\nRepairStorage - got exception\n");
}

}  // namespace
