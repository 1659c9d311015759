#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/folder.h"

namespace platform {

// A file the audit writes outside the storage (its page, its JSON). The new
// content never goes into the bytes of an existing file, which may be a hard
// link to a day database: it is written to a new file beside the output,
// flushed, then renamed over the output's name.

// An output's name with its links resolved once: the folder it lands in and
// its own name there, and what exists under that name now.
struct OutputTarget {
    std::string given;   // as the operator wrote it
    std::string folder;  // the folder the output lands in, links resolved
    std::string name;    // the output's name in that folder
    EntryFacts facts;    // of the existing output (kind Missing when it is new)
};

// Resolves the output's name: its folder and, when the name itself is a
// link, the file the link leads to (followed to its end, once). Nothing is
// opened, so a FIFO is never waited on. Returns 0 or the system's error number.
int ResolveOutput(const std::string& given, OutputTarget& target);

// The identities of a folder and of every folder above it up to the root,
// taken by the folders' own parents, not their names, so that no link or
// second mount name changes the answer. Returns 0 or the system's error number.
int FolderAndAncestors(const std::string& folder, std::vector<FileIdentity>& identities);

// The content of one output on its way to the disk. Until Commit, the file
// written is removed again when this object goes, and also when the process
// is stopped by SIGINT or SIGTERM (Ctrl+C, Ctrl+Break or closing the console
// on Windows).
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // A new file in the target's folder (created exclusively under a random
    // name ".<name>.tmp-XXXXXX"), with the mode, owner and group of the file
    // it will replace where this process may set them, or the system's
    // default for a new file (0666 less the umask).
    static OutputFile CreateBeside(const OutputTarget& target, int& error);
    // The existing output itself, opened for writing without truncating and
    // never through a link, for when its folder cannot be written. Facts()
    // and Head() tell the caller whether it may be written in place.
    static OutputFile OpenInPlace(const OutputTarget& target, int& error);

    bool IsOpen() const;
    bool InPlace() const { return inPlace_; }
    // Of the file held open.
    EntryFacts Facts() const;
    // Its first bytes (fewer where it is shorter); empty when unreadable.
    std::string Head(std::size_t count) const;

    // Writes text as the file's whole content and flushes it to the disk;
    // beside: renames it over the target's name and flushes the folder.
    // Returns 0 or the system's error number; on failure a file written
    // beside is removed.
    int Commit(const std::string& text);

private:
    void Discard();

    std::string path_;  // the file written: the temporary, or the output itself in place
    std::string targetPath_;
    bool inPlace_ = false;
    Folder folder_;  // the output's folder, held so that the rename lands where the file was made
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
    std::string name_;                 // the temporary's name in folder_
#endif
    int cleanupSlot_ = -1;
};

// True when an error of CreateBeside says that the folder cannot be written
// (permissions, a read-only volume), as opposed to anything else.
bool FolderRefusesWriting(int error);

// A short text for an error number of these calls.
std::string OutputErrorText(int error);

// What Commit returns when another program holds the output open and the
// system will not replace it (a sharing violation on Windows).
#ifdef _WIN32
constexpr int kOutputInUseError = 32;  // ERROR_SHARING_VIOLATION
#else
constexpr int kOutputInUseError = 16;  // EBUSY
#endif

}  // namespace platform
