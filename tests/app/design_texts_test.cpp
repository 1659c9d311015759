#include <gtest/gtest.h>

#include <string>

#include "app/design_texts.h"

namespace {

// The lines no road's test reaches, pinned here byte for byte like the rest.
TEST(DesignTexts, LinesNoRoadTestReachesKeepTheirBytes) {
    namespace texts = design_texts;
    const struct {
        std::string line;
        const char* expected;
    } cases[] = {
        {texts::CannotRemoveLine("/s/2012-03-03"),
         "RevertDirectoryStructure - Cannot remove the directory:/s/2012-03-03"},
        {texts::UnmarkableTemplateLine("CopyTemplateDB", "/t/dbtemplate.db", 0),
         "CopyTemplateDB - /t/dbtemplate.db is not an SQLite database: its copies cannot be told from the recorder's "
         "databases, so no existing .db.old is replaced"},
        {texts::NotOurCopyLine("ConvertDirectoryStructure", "/s/2012-03-03/1/2012-03-03.db.tmp"),
         "ConvertDirectoryStructure - /s/2012-03-03/1/2012-03-03.db.tmp is in the way and is not the tool's own "
         "copy: the location-day is left as it was"},
        {texts::LiveSeekFailedLine(-2143084028), "CParsers::SeekBackward - ViewWhileRec_Seek failed scRet: 0x80432204"},
        // A write dated a little ahead of this clock.
        {texts::BeingRecordedLine("CopyTemplateDB", "/s/2012-03-03/1/2012-03-03.db", -40),
         "CopyTemplateDB - /s/2012-03-03/1/2012-03-03.db is being recorded (last written 0 s ago), left as it was: "
         "run again when the recorder has finished this day, or stop the recorder first"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.line, c.expected);
}

}  // namespace
