#pragma once

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/process.h"
#include "tools/storage_generator/storage_generator.h"

namespace storagetest {

namespace fs = boost::filesystem;

// A fresh temporary folder for one test, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Makes a folder the current one for its lifetime (the roads find the template
// relative to it).
class CurrentFolder {
public:
    explicit CurrentFolder(const fs::path& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    fs::path previous_;
};

// Standard output and error of a road called in this process.
struct Captured {
    std::string out;
    std::string err;
};
Captured CaptureRoad(const std::function<void()>& road);

// The tool's output after its banner and title: the option echo and the
// roads, without the résumé line (tested on its own).
std::string AfterTitle(const std::string& out);
// The output after the title up to where the repair walk begins to talk, i.e.
// the echo and the road that prepared the storage.
std::string PreparationSection(const std::string& out);
// True when the output ends with the repair road's closing line.
bool EndsWithClosingLine(const std::string& out);

// The entries of a folder in the order the file system lists them, as full paths.
std::vector<std::string> ListingOrder(const fs::path& folder);

// Relative path -> FNV-1a digest of every regular file below a folder.
std::map<std::string, std::uint64_t> DigestFiles(const fs::path& root);

// TreeListing without the transient companions of SQLite databases.
std::vector<std::string> Tree(const fs::path& storage);

// The bytes of the built template database.
std::string TemplateBytes();
// Copies a tree of folders and files below `to`.
void CopyTree(const fs::path& from, const fs::path& to);

// A copy as the tool places it: the template carrying the tool's mark.
std::string PlacedCopyBytes();

// The system's words for the failures these tests provoke, as the platform
// puts them after "boost::filesystem::<call>: ".
std::string ExistsText();
std::string NotFoundText();
std::string NotADirectoryText();
std::string NotEmptyText();
// The template's relative path as the tool prints it.
std::string TemplateText();

// A storage folder of its own for each test, and the tool run on it with the
// flags of the road under test after "-p <storage>".
class StorageRoadTest : public ::testing::Test {
protected:
    explicit StorageRoadTest(std::vector<std::string> roadFlags) : roadFlags_(std::move(roadFlags)) {}

    const fs::path& storage() const { return folder_.path(); }
    std::string At(const std::string& relative) const {
        return (storage() / fs::path(relative).make_preferred()).string();
    }

    void Old(const std::string& location, const std::string& day, storagegen::FolderContent content = {}) const {
        storagegen::MakeLocationDay(storage(), storagegen::Structure::Old, location, day, content);
    }
    void New(const std::string& location, const std::string& day, storagegen::FolderContent content = {}) const {
        storagegen::MakeLocationDay(storage(), storagegen::Structure::New, location, day, content);
    }

    testsupport::ProcessResult Run(std::vector<std::string> extra = {},
                                   const testsupport::ProcessOptions& options = {}) const {
        std::vector<std::string> args{"-p", storage().string()};
        args.insert(args.end(), roadFlags_.begin(), roadFlags_.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return testsupport::RunTool(args, options);
    }

private:
    std::vector<std::string> roadFlags_;
    TempFolder folder_;
};

}  // namespace storagetest
