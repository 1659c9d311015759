// Another account that can write the storage swaps one of its folders for a
// link to a tree outside it, at each call of a run that changes a file, and
// the run goes on. Nothing outside the storage may change, whatever the
// moment: every folder is reached from the storage's own handle.

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "repair/repair_test_support.h"
#include "storage/storage_test_support.h"
#include "support/recorded_files.h"
#include "support/process.h"
#include "tools/storage_generator/storage_generator.h"

namespace {

namespace fs = boost::filesystem;
using storagegen::Structure;
using storagetest::TempFolder;

struct Race {
    const char* name;
    std::vector<std::string> flags;
    Structure structure;
    const char* swapped;  // relative to the storage
    Structure outsideStructure;
};

void PrintTo(const Race& race, std::ostream* out) { *out << race.name; }

// Real recordings, so that the rebuild writes rows and marker folders, and
// every kind of day database.
void MakeTree(const fs::path& root, Structure structure) {
    storagegen::StorageDescription description;
    description.structure = structure;
    description.locations = {"1", "2"};
    description.content = {1, true, true, storagegen::Marker::None};
    description.recordingBytes = [](const storagegen::RecordingInfo& info) {
        repairtest::RecordingSpec daylightSaving;  // leaves a marker folder beside it
        daylightSaving.daylightElement = true;
        repairtest::WriteRecordingFile(info.path, daylightSaving);
        return storagegen::ReadFile(info.path);
    };
    storagegen::MakeStorage(root, description);
}

std::vector<std::string> ReadLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file.string());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class SwapRace : public ::testing::TestWithParam<Race> {
protected:
    void SetUp() override {
        MakeTree(pristine_.path(), GetParam().structure);
        MakeTree(outside_.path(), GetParam().outsideStructure);
        outsideDigests_ = storagetest::DigestFiles(outside_.path());
        outsideTree_ = storagegen::TreeListing(outside_.path());
    }

    // Runs the road on a fresh copy of the storage, swapping at call `at`
    // (0: never); returns the calls the run made.
    std::vector<std::string> RunRacing(unsigned long at) const {
        const TempFolder folder;
        const TempFolder logFolder;
        storagetest::CopyTree(pristine_.path(), folder.path());
        std::vector<std::string> args{"-p", folder.path().string()};
        args.insert(args.end(), GetParam().flags.begin(), GetParam().flags.end());
        testsupport::ProcessOptions options;
        const std::string runtime = SANITIZER_RUNTIME;
        options.environment["LD_PRELOAD"] = runtime.empty() ? FAULT_LIBRARY : runtime + ":" + FAULT_LIBRARY;
        options.environment["TOLVANE2_FAULT_ROOT"] = folder.path().string();
        options.environment["TOLVANE2_FAULT_AT"] = std::to_string(at);
        options.environment["TOLVANE2_FAULT_ACTION"] = "swap";
        options.environment["TOLVANE2_FAULT_LOG"] = (logFolder.path() / "calls").string();
        options.environment["TOLVANE2_SWAP_FOLDER"] = (folder.path() / GetParam().swapped).string();
        options.environment["TOLVANE2_SWAP_TARGET"] = (outside_.path() / GetParam().swapped).string();
        testsupport::AgeTree(folder.path());  // copied just now, written by the recorder long ago
        testsupport::RunTool(args, options);
        return ReadLines(logFolder.path() / "calls");
    }

    TempFolder pristine_;
    TempFolder outside_;
    std::map<std::string, std::uint64_t> outsideDigests_;
    std::vector<std::string> outsideTree_;
};

TEST_P(SwapRace, NothingOutsideTheStorageChanges) {
    const auto calls = RunRacing(0);
    ASSERT_FALSE(calls.empty());
    std::vector<std::string> reached;
    for (unsigned long at = 1; at <= calls.size(); ++at) {
        RunRacing(at);
        if (storagetest::DigestFiles(outside_.path()) != outsideDigests_ ||
            storagegen::TreeListing(outside_.path()) != outsideTree_) {
            reached.push_back(calls[at - 1]);
            // The next swap starts from an untouched outside tree.
            fs::remove_all(outside_.path());
            MakeTree(outside_.path(), GetParam().outsideStructure);
            outsideDigests_ = storagetest::DigestFiles(outside_.path());
        }
    }
    EXPECT_TRUE(reached.empty()) << reached.size() << " of " << calls.size()
                                 << " swaps reached outside; swapped before:" << ::testing::PrintToString(reached);
}

INSTANTIATE_TEST_SUITE_P(, SwapRace,
                         ::testing::Values(Race{"convert_location", {}, Structure::Old, "1", Structure::Old},
                                           Race{"convert_moved", {}, Structure::Old, "2012-03-03/1", Structure::New},
                                           Race{"dbonly", {"-o"}, Structure::New, "2012-03-03/1", Structure::New},
                                           Race{"revert", {"-r"}, Structure::New, "2012-03-03/1", Structure::New},
                                           Race{"revert_day", {"-r"}, Structure::New, "2012-03-03", Structure::New}),
                         [](const ::testing::TestParamInfo<Race>& info) { return std::string(info.param.name); });

}  // namespace
