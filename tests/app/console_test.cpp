#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "app/console.h"
#include "app/printable_text.h"

namespace {

TEST(Console, CodesAreTwosComplementHexThenDecimalAgain) {
    const struct {
        std::int32_t code;
        const char* text;
    } cases[] = {{-1, "ffffffff"},        {-2, "fffffffe"}, {0, "0"}, {255, "ff"}, {-2147483647 - 1, "80000000"},
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

// Names from the storage may hold anything; what reaches the console can
// never move the cursor, split a line or reorder the text after it.
TEST(Console, NamesAreShownWithoutControlCharacters) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"Eingang S\xc3\xbc"
         "d \xe6\x97\xa5 1",
         "Eingang S\xc3\xbc"
         "d \xe6\x97\xa5 1"},                                        // ordinary names unchanged
        {"\xff\xc3(\xf0\x9f\x98\x80", "\xff\xc3(\xf0\x9f\x98\x80"},  // other bytes as they are
        {"a\x1b[2Kb\rc\nd\te", "a?[2Kb?c?d?e"},                      // C0
        {std::string("x\0y\x7fz", 5), "x?y?z"},                      // NUL, DEL
        {"\xc2\x9b"
         "31m\xc2\x85",
         "?31m?"},  // C1 as UTF-8
        {"\x9b"
         "31m\x80\xc2\xa0",
         "?31m?\xc2\xa0"},                      // stray C1 bytes; U+00A0 kept
        {"\xe0\x80\x9b", "\xe0??"},             // an overlong form is no sequence
        {"\xf0\x8f\xbf\xbf", "\xf0?\xbf\xbf"},  // nor is one of four bytes
        // The first and last lead byte of each length: whole sequences, kept.
        {"\xc2\x80\xdf\x80\xe0\xa0\x80\xef\x80\x80\xf0\x90\x80\x80\xf4\x80\x80\x80",
         "?\xdf\x80\xe0\xa0\x80\xef\x80\x80\xf0\x90\x80\x80\xf4\x80\x80\x80"},
        {"\xed\x9f\xbf\xee\x80\x80\xed\xa0\x80", "\xed\x9f\xbf\xee\x80\x80\xed\xa0?"},  // a surrogate is none
        {"a\xe2\x80\xae"
         "b\xe2\x80\xaa"
         "c\xe2\x81\xa6"
         "d\xe2\x81\xa9",
         "a?b?c?d?"},                                              // bidi overrides, isolates
        {"\xe2\x80\xa9\xe2\x81\xaa", "\xe2\x80\xa9\xe2\x81\xaa"},  // their neighbours kept
    };
    for (const auto& c : cases) EXPECT_EQ(console::PrintableText(c.name), c.shown) << c.name;
}

TEST(Console, EveryLineIsShownSafely) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    console::WriteLine("Processing Path: a\x1b[2K\rb");
    console::WriteErrorLine("c\nd");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Processing Path: a?[2K?b\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "c?d\n");
}

}  // namespace
