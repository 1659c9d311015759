#pragma once

#include <boost/filesystem.hpp>
#include <functional>
#include <string>
#include <vector>

// Lays out storage folders for tests and the demo: old or new directory
// structure, placeholder (or caller-made) recordings, day databases, their
// backups and daylight-saving marker folders, described in a few lines.
namespace storagegen {

enum class Structure { Old, New };  // Old: <storage>/<location>/<day>, New: <storage>/<day>/<location>

enum class Marker { None, Empty, WithFile };  // the "DL" folder of a location-day

// What one location folder of one day holds.
struct FolderContent {
    unsigned recordings = 2;
    bool dayDatabase = false;  // <day>.db
    bool backup = false;       // <day>.db.old
    Marker dl = Marker::None;
};

// Everything a recording's bytes may depend on.
struct RecordingInfo {
    std::string location;
    std::string day;
    unsigned serial;
    std::string timeOfDay;  // HHMMSS
    boost::filesystem::path path;
};
using RecordingBytes = std::function<std::string(const RecordingInfo&)>;

struct StorageDescription {
    Structure structure = Structure::Old;
    std::vector<std::string> locations{"1"};
    std::vector<std::string> days{"2012-03-03"};
    FolderContent content;
    RecordingBytes recordingBytes;  // empty: PlaceholderRecording
};

// <storage>/<location>/<day> or <storage>/<day>/<location>.
boost::filesystem::path FolderOf(const boost::filesystem::path& storage, Structure structure,
                                 const std::string& location, const std::string& day);

// "<serial, 8 digits>_<day>_<HHMMSS>.3gp", the name the recorder gives a file.
std::string RecordingFileName(unsigned serial, const std::string& day, const std::string& timeOfDay);

// Bytes that differ for every recording and are no media at all.
std::string PlaceholderRecording(const RecordingInfo& info);
// Contents of a generated day database and of its backup.
std::string DayDatabasePlaceholder(const std::string& location, const std::string& day);
std::string BackupPlaceholder(const std::string& location, const std::string& day);

// Lays out one location folder of one day (creating missing parents) and
// returns the recordings written. Recording n starts at 10:00 + (n - 1) minutes.
std::vector<boost::filesystem::path> MakeLocationDay(const boost::filesystem::path& storage, Structure structure,
                                                     const std::string& location, const std::string& day,
                                                     const FolderContent& content,
                                                     const RecordingBytes& recordingBytes = {});

// Every location of every day; returns the recordings written.
std::vector<boost::filesystem::path> MakeStorage(const boost::filesystem::path& storage,
                                                 const StorageDescription& description);

// Writes a whole file, creating missing parent folders; throws on failure.
void WriteFile(const boost::filesystem::path& path, const std::string& bytes);
// Reads a whole file; throws when it cannot be opened.
std::string ReadFile(const boost::filesystem::path& path);

// Every entry below the storage folder relative to it, sorted, folders ending in "/".
std::vector<std::string> TreeListing(const boost::filesystem::path& storage);

}  // namespace storagegen
