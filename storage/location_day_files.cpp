#include "storage/location_day_files.h"

const char* const* CompanionSuffixes() {
    static const char* const suffixes[] = {"-journal", "-wal", "-shm", nullptr};
    return suffixes;
}

std::string PartialCopyName(const std::string& target) { return target + ".tmp"; }
std::string PreparedCopyName(const std::string& target) { return target + ".new"; }
std::string SwappingName(const std::string& target) { return target + ".swap"; }
std::string BackupNameOf(const std::string& target, BackupName backup) {
    return target + (backup == BackupName::Old ? ".old" : ".prev");
}
