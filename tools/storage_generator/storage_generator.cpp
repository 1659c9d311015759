#include "tools/storage_generator/storage_generator.h"

#include <algorithm>
#include <boost/nowide/fstream.hpp>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = boost::filesystem;

namespace storagegen {

fs::path FolderOf(const fs::path& storage, Structure structure, const std::string& location, const std::string& day) {
    return structure == Structure::Old ? storage / location / day : storage / day / location;
}

std::string RecordingFileName(unsigned serial, const std::string& day, const std::string& timeOfDay) {
    char serialText[16];
    std::snprintf(serialText, sizeof serialText, "%08u", serial);
    return std::string(serialText) + "_" + day + "_" + timeOfDay + ".3gp";
}

std::string PlaceholderRecording(const RecordingInfo& info) {
    std::ostringstream bytes;
    bytes << "placeholder recording, location " << info.location << ", day " << info.day << ", serial " << info.serial
          << ", start " << info.timeOfDay << '\n';
    // Some binary filler so that byte-exact comparisons see more than text.
    for (unsigned i = 0; i < 256; ++i) bytes.put(static_cast<char>((i * 31u + info.serial * 7u) & 0xffu));
    return bytes.str();
}

std::string DayDatabasePlaceholder(const std::string& location, const std::string& day) {
    return "day database of location " + location + " on " + day + "\n";
}

std::string BackupPlaceholder(const std::string& location, const std::string& day) {
    return "older day database backup of location " + location + " on " + day + "\n";
}

namespace {

// What a storage holds was written by the recorder a while ago; a file
// written now would pass for one it is writing, and the tool leaves those.
void DateAsWrittenAnHourAgo(const fs::path& path) {
    boost::system::error_code ignored;
    fs::last_write_time(path, std::time(nullptr) - 3600, ignored);
}

std::string TimeOfRecording(unsigned serial) {
    const unsigned minutes = 10 * 60 + (serial - 1);
    char text[8];
    std::snprintf(text, sizeof text, "%02u%02u00", (minutes / 60) % 24, minutes % 60);
    return text;
}

}  // namespace

std::vector<fs::path> MakeLocationDay(const fs::path& storage, Structure structure, const std::string& location,
                                      const std::string& day, const FolderContent& content,
                                      const RecordingBytes& recordingBytes) {
    const fs::path folder = FolderOf(storage, structure, location, day);
    fs::create_directories(folder);
    std::vector<fs::path> recordings;
    for (unsigned serial = 1; serial <= content.recordings; ++serial) {
        const std::string timeOfDay = TimeOfRecording(serial);
        RecordingInfo info{location, day, serial, timeOfDay, folder / RecordingFileName(serial, day, timeOfDay)};
        WriteFile(info.path, recordingBytes ? recordingBytes(info) : PlaceholderRecording(info));
        DateAsWrittenAnHourAgo(info.path);
        recordings.push_back(info.path);
    }
    if (content.dayDatabase) {
        WriteFile(folder / (day + ".db"), DayDatabasePlaceholder(location, day));
        DateAsWrittenAnHourAgo(folder / (day + ".db"));
    }
    if (content.backup) WriteFile(folder / (day + ".db.old"), BackupPlaceholder(location, day));
    if (content.dl != Marker::None) fs::create_directories(folder / "DL");
    if (content.dl == Marker::WithFile) WriteFile(folder / "DL" / "note.txt", "kept by the operator\n");
    return recordings;
}

std::vector<fs::path> MakeStorage(const fs::path& storage, const StorageDescription& description) {
    fs::create_directories(storage);
    std::vector<fs::path> recordings;
    for (const std::string& location : description.locations) {
        for (const std::string& day : description.days) {
            const auto made = MakeLocationDay(storage, description.structure, location, day, description.content,
                                              description.recordingBytes);
            recordings.insert(recordings.end(), made.begin(), made.end());
        }
    }
    return recordings;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    boost::nowide::ofstream out(path.string(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
    boost::nowide::ifstream in(path.string(), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> TreeListing(const fs::path& storage) {
    std::vector<std::string> entries;
    for (fs::recursive_directory_iterator it(storage), end; it != end; ++it) {
        std::string relative = it->path().lexically_relative(storage).generic_string();
        if (fs::is_directory(it->symlink_status())) relative += "/";
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace storagegen
