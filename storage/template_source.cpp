#include "storage/template_source.h"

#include <cerrno>
#include <cstring>

#include "platform/durable_copy.h"
#include "platform/executable_folder.h"

namespace fs = boost::filesystem;

namespace {

// Far more than any template; a file this large is not one.
constexpr std::size_t kLargestTemplate = 64u << 20;
constexpr char kSqliteMagic[] = "SQLite format 3";  // and its terminating zero: 16 bytes

void SetNumberAt(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

bool IsSqliteHeader(const std::string& bytes) {
    return bytes.size() >= 100 && std::memcmp(bytes.data(), kSqliteMagic, sizeof kSqliteMagic) == 0;
}

}  // namespace

std::uint32_t ApplicationIdIn(const std::string& header) {
    if (header.size() < kApplicationIdOffset + 4) return 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(header[kApplicationIdOffset + i]);
    return value;
}

std::uint32_t ApplicationIdOf(const platform::Folder& folder, const std::string& name) {
    std::string header;
    return platform::ReadSmallFile(folder, name, kApplicationIdOffset + 4, header) == 0 ? ApplicationIdIn(header) : 0;
}

const fs::path& TemplateDatabasePath() {
    static const fs::path path = fs::path("PellamDB") / "dbtemplate.db";
    return path;
}

TemplateSource TemplateSource::FromFile(const fs::path& path) {
    TemplateSource source;
    source.error_ = platform::ReadFileByPath(path.string(), kLargestTemplate, source.bytes_);
    if (source.error_ == 0 && source.bytes_.size() > kLargestTemplate) source.error_ = EFBIG;
    if (source.error_ != 0) {
        source.bytes_.clear();
        return source;
    }
    // Only a database whose own id is free can carry the mark; anything else
    // is copied as it is, and its copies are then never taken for the tool's.
    if (IsSqliteHeader(source.bytes_)) {
        source.ownId_ = ApplicationIdIn(source.bytes_);
        source.marks_ = source.ownId_ == 0;
        if (source.marks_) SetNumberAt(source.bytes_, kApplicationIdOffset, kToolMark);
    }
    return source;
}

TemplateSource TemplateSource::Find() {
    TemplateSource found = FromFile(TemplateDatabasePath());
    if (found.Found()) return found;
    const std::string executable = platform::ExecutableFolder();
    if (executable.empty()) return found;
    const fs::path folder(executable);
    for (const fs::path& candidate :
         {folder / TemplateDatabasePath(), folder / ".." / "share" / "tolvane2" / TemplateDatabasePath()}) {
        TemplateSource other = FromFile(candidate);
        if (other.Found()) return other;
    }
    return found;  // reported with the first place's error, where the messages send the operator
}
