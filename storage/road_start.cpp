#include "storage/road_start.h"

#include "app/console.h"
#include "app/design_texts.h"
#include "storage/layout.h"

bool StartRoad(const std::string& heading, const std::string& routine, const boost::filesystem::path& storage) {
    console::WriteHeading(heading);
    if (IsExistingDirectory(storage)) return true;
    console::WriteLine(design_texts::NotValidDirectoryLine(routine));
    return false;
}
