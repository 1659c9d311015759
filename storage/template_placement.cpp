#include "storage/template_placement.h"

#include "app/console.h"

namespace fs = boost::filesystem;

const TemplateCopyTexts kCopyTemplateDBTexts = {
    "CopyTemplateDB - copy dbtemplate.db got std::exception: ",
    "You need dbtemplate.db at the same folder of Tolvane2.exe or",
    true,
};

const TemplateCopyTexts kConvertDirectoryStructureTexts = {
    "ConvertDirectoryStructure - copy dbtemplate.db got std::exception: ",
    "You need PellamDB/dbtemplate.db at the same folder of Tolvane2.exe or",
    false,
};

const fs::path& TemplateDatabasePath() {
    static const fs::path path = fs::path("PellamDB") / "dbtemplate.db";
    return path;
}

namespace {

// Moves an existing day database to its backup name. Failures are reported and
// left to the copy that follows, which then fails on the occupied target.
void SetExistingDatabaseAside(const fs::path& target) {
    const std::string backup = target.string() + ".old";
    try {
        if (fs::exists(fs::status(backup))) fs::remove(backup);
        fs::rename(target, backup);
    } catch (const std::exception& e) {
        console::WriteLine(std::string("CopyTemplateDB - remove existed got std::exception: ") + e.what());
    } catch (...) {
        console::WriteLine(target.string() + "or" + backup + "is locked!");
    }
}

}  // namespace

void PlaceTemplateDatabase(const fs::path& target, const TemplateCopyTexts& texts) {
    boost::system::error_code error;
    if (fs::exists(target, error)) SetExistingDatabaseAside(target);
    try {
        fs::copy_file(TemplateDatabasePath(), target, fs::copy_options::none);
        if (texts.reportSuccess) console::WriteLine("Copy template.db to " + target.string());
    } catch (const std::exception& e) {
        console::WriteLine(texts.stdExceptionPrefix + e.what());
    } catch (...) {
        console::WriteLine(texts.otherFailurePrefix + target.string() + "is existed");
    }
}
