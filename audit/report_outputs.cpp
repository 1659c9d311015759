#include "audit/report_outputs.h"

#include <boost/filesystem/path.hpp>
#include <iostream>
#include <optional>

namespace audit {

namespace {

// The first bytes of every SQLite database file.
const std::string kSqliteHeader("SQLite format 3\0", 16);

std::string CannotWrite(const ReportOutput& output, int error) {
    return "cannot write " + output.given + ": " + platform::OutputErrorText(error);
}

bool FolderInside(const std::string& folder, const platform::FileIdentity& storage, bool& inside, int& error) {
    std::vector<platform::FileIdentity> chain;
    error = platform::FolderAndAncestors(folder, chain);
    inside = false;
    for (const platform::FileIdentity& identity : chain) inside = inside || identity == storage;
    return error == 0;
}

// The folders the name given passes through, and the folder it finally leads
// to: none may be the storage or below it. A link inside the storage that
// leads elsewhere counts as inside: the audit reaches nothing through the storage.
std::vector<std::string> FoldersOnTheWay(const ReportOutput& output) {
    std::vector<std::string> folders;
    for (boost::filesystem::path folder = boost::filesystem::path(output.given).parent_path(); !folder.empty();
         folder = folder.parent_path()) {
        folders.push_back(folder.string());
        // Above a root lies nothing ("C:" alone would name a current folder).
        if (folder == folder.root_path()) break;
    }
    if (folders.empty()) folders.push_back(".");
    folders.push_back(output.target.folder);
    return folders;
}

bool LandsInside(const ReportOutput& output, const platform::Folder& storage, std::string& error) {
    if (!storage.IsOpen()) return false;  // nothing can lie inside a folder that cannot be read
    const platform::FileIdentity identity = storage.OwnFacts().identity;
    for (const std::string& folder : FoldersOnTheWay(output)) {
        bool inside = false;
        int failure = 0;
        if (!FolderInside(folder, identity, inside, failure)) {
            error = CannotWrite(output, failure);
            return true;
        }
        if (inside) {
            error = "the audit writes nothing inside the storage: " + output.given;
            return true;
        }
    }
    return false;
}

// A folder's own identity, so that two names of one folder (a second mount
// name, a link) are one folder; none where it cannot be told.
std::optional<platform::FileIdentity> FolderIdentity(const std::string& folder) {
    std::vector<platform::FileIdentity> chain;
    if (platform::FolderAndAncestors(folder, chain) != 0 || chain.empty()) return std::nullopt;
    return chain.front();
}

bool SameFile(const ReportOutput& first, const ReportOutput& second) {
    if (first.standardOutput || second.standardOutput) return first.standardOutput && second.standardOutput;
    const bool bothExist = first.target.facts.kind != platform::EntryKind::Missing &&
                           second.target.facts.kind != platform::EntryKind::Missing;
    if (bothExist) return first.target.facts.identity == second.target.facts.identity;
    if (first.target.name != second.target.name) return false;
    if (first.target.folder == second.target.folder) return true;
    const auto firstFolder = FolderIdentity(first.target.folder);
    return firstFolder && firstFolder == FolderIdentity(second.target.folder);
}

// Where the folder cannot be written: the output itself, but only a file
// whose bytes nobody else reads under another name and that is no database.
bool OpenInPlace(ReportOutput& output, int besideError, std::string& error) {
    const std::string refused = "cannot write " + output.given + ": its folder cannot be written (" +
                                platform::OutputErrorText(besideError) +
                                "), and only a regular file with one name that is no database is written in place";
    if (output.target.facts.kind != platform::EntryKind::RegularFile) {
        error = refused;
        return false;
    }
    int failure = 0;
    output.file = platform::OutputFile::OpenInPlace(output.target, failure);
    if (failure != 0) {
        error = refused;
        return false;
    }
    const platform::EntryFacts facts = output.file.Facts();
    if (facts.kind != platform::EntryKind::RegularFile || facts.links != 1 ||
        !(facts.identity == output.target.facts.identity) || output.file.Head(kSqliteHeader.size()) == kSqliteHeader) {
        output.file = platform::OutputFile();
        error = refused;
        return false;
    }
    return true;
}

bool OpenForWriting(ReportOutput& output, std::string& error) {
    int failure = 0;
    output.file = platform::OutputFile::CreateBeside(output.target, failure);
    if (failure == 0) return true;
    if (platform::FolderRefusesWriting(failure) && output.target.facts.kind != platform::EntryKind::Missing) {
        return OpenInPlace(output, failure, error);
    }
    error = CannotWrite(output, failure);
    return false;
}

}  // namespace

bool PrepareOutputs(const std::string& storage, const std::vector<std::string>& givens,
                    std::vector<ReportOutput>& outputs, std::string& error) {
    int ignored = 0;
    const platform::Folder storageFolder = platform::Folder::OpenPath(storage, ignored);
    outputs.clear();
    outputs.reserve(givens.size());
    for (const std::string& given : givens) {
        if (given.empty()) continue;
        ReportOutput output;
        output.given = given;
        output.standardOutput = given == "-";
        if (!output.standardOutput) {
            if (const int failure = platform::ResolveOutput(given, output.target); failure != 0) {
                error = CannotWrite(output, failure);
                return false;
            }
            const platform::EntryKind kind = output.target.facts.kind;
            if (kind != platform::EntryKind::Missing && kind != platform::EntryKind::RegularFile) {
                error = "the output " + given + " exists and is not a regular file";
                return false;
            }
            if (LandsInside(output, storageFolder, error)) return false;
        }
        for (const ReportOutput& earlier : outputs) {
            if (SameFile(earlier, output)) {
                error = "two outputs name the same file: " + given;
                return false;
            }
        }
        outputs.push_back(std::move(output));
    }
    for (ReportOutput& output : outputs) {
        if (!output.standardOutput && !OpenForWriting(output, error)) return false;
    }
    return true;
}

bool WriteReportOutput(ReportOutput& output, const std::string& text, std::string& error) {
    if (output.standardOutput) {
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cout.flush();
        return true;  // a closed standard output is the reader's choice, not a failure
    }
    if (const int failure = output.file.Commit(text); failure != 0) {
        error = failure == platform::kOutputInUseError
                    ? "cannot replace " + output.given + ": another program has it open"
                    : CannotWrite(output, failure);
        return false;
    }
    return true;
}

}  // namespace audit
