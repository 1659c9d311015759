#include "storage_test_support.h"

#include <cerrno>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace storagetest {

TempFolder::TempFolder() : path_(fs::temp_directory_path() / fs::unique_path("tolvane2-storage-%%%%-%%%%-%%%%")) {
    fs::create_directories(path_);
    // Canonical, so that the paths the tool prints equal the ones we build.
    path_ = fs::canonical(path_);
}

TempFolder::~TempFolder() {
    boost::system::error_code ignored;
    fs::remove_all(path_, ignored);
}

CurrentFolder::CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }

CurrentFolder::~CurrentFolder() {
    boost::system::error_code ignored;
    fs::current_path(previous_, ignored);
}

Captured CaptureRoad(const std::function<void()>& road) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    road();
    Captured captured;
    captured.out = testing::internal::GetCapturedStdout();
    captured.err = testing::internal::GetCapturedStderr();
    return captured;
}

std::string AfterTitle(const std::string& out) {
    const std::string title = "Orvalis Tolvane2\n\n";
    const auto at = out.find(title);
    const std::string text = at == std::string::npos ? out : out.substr(at + title.size());
    // The résumé has tests of its own; these compare the design's lines.
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Summary: ", 0) != 0) kept += line + "\n";
    }
    if (!text.empty() && text.back() != '\n' && !kept.empty()) kept.pop_back();
    return kept;
}

std::string PreparationSection(const std::string& out) {
    static const char* const kRepairStarts[] = {
        "Processing Date: ",
        "Load Strata failed",
        "RepairStorage - ",
        "Congratulation! The database have repaired completely.",
    };
    const std::string text = AfterTitle(out);
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        for (const char* start : kRepairStarts) {
            if (text.compare(lineStart, std::char_traits<char>::length(start), start) == 0) {
                return text.substr(0, lineStart);
            }
        }
        const auto lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) break;
        lineStart = lineEnd + 1;
    }
    return text;
}

bool EndsWithClosingLine(const std::string& out) {
    const std::string closing = "\nCongratulation! The database have repaired completely. elapsed time: ";
    const auto at = out.rfind(closing);
    return at != std::string::npos && out.size() >= 3 && out.compare(out.size() - 3, 3, " s\n") == 0 &&
           out.find('\n', at + 1) == out.size() - 1;
}

std::vector<std::string> ListingOrder(const fs::path& folder) {
    std::vector<std::string> paths;
    for (fs::directory_iterator it(folder), end; it != end; ++it) paths.push_back(it->path().string());
    return paths;
}

std::map<std::string, std::uint64_t> DigestFiles(const fs::path& root) {
    std::map<std::string, std::uint64_t> digests;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
        if (!fs::is_regular_file(it->symlink_status())) continue;
        std::uint64_t digest = 14695981039346656037ull;
        for (const char byte : storagegen::ReadFile(it->path())) {
            digest = (digest ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
        }
        digests[it->path().lexically_relative(root).generic_string()] = digest;
    }
    return digests;
}

std::vector<std::string> Tree(const fs::path& storage) {
    std::vector<std::string> tree = storagegen::TreeListing(storage);
    const auto transient = [](const std::string& entry) {
        for (const char* suffix : {".db-journal", ".db-wal", ".db-shm"}) {
            const std::string s(suffix);
            if (entry.size() >= s.size() && entry.compare(entry.size() - s.size(), s.size(), s) == 0) return true;
        }
        return false;
    };
    tree.erase(std::remove_if(tree.begin(), tree.end(), transient), tree.end());
    return tree;
}

std::string TemplateBytes() {
    return storagegen::ReadFile(fs::path(testsupport::BuildDirectory()) / "PellamDB" / "dbtemplate.db");
}

// Folders and regular files, as they are.
void CopyTree(const fs::path& from, const fs::path& to) {
    for (fs::recursive_directory_iterator it(from), end; it != end; ++it) {
        const fs::path target = to / it->path().lexically_relative(from);
        if (fs::is_directory(it->status())) {
            fs::create_directories(target);
        } else {
            fs::copy_file(it->path(), target);
        }
    }
}

std::string PlacedCopyBytes() {
    std::string bytes = TemplateBytes();
    if (bytes.size() >= 72) bytes.replace(68, 4, "Tlv2");  // the application id that marks the tool's copies
    return bytes;
}

namespace {

std::string SystemText(int code) { return boost::system::error_code(code, boost::system::system_category()).message(); }

}  // namespace

#ifdef _WIN32
// A path through a file, like a missing one, is a path not found here.
std::string ExistsText() { return SystemText(183); }       // ERROR_ALREADY_EXISTS
std::string NotFoundText() { return SystemText(3); }       // ERROR_PATH_NOT_FOUND
std::string NotADirectoryText() { return SystemText(3); }  // ERROR_PATH_NOT_FOUND
std::string NotEmptyText() { return SystemText(145); }     // ERROR_DIR_NOT_EMPTY
#else
std::string ExistsText() { return SystemText(EEXIST); }
std::string NotFoundText() { return SystemText(ENOENT); }
std::string NotADirectoryText() { return SystemText(ENOTDIR); }
std::string NotEmptyText() { return SystemText(ENOTEMPTY); }
#endif

std::string TemplateText() { return (fs::path("PellamDB") / "dbtemplate.db").string(); }

}  // namespace storagetest
