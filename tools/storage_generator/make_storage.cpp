// Lays out a sample storage folder from the command line, for the demo and for
// trying the tool by hand.
#include <algorithm>
#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/program_options.hpp>
#include <iostream>

#include "platform/unicode_run.h"
#include "tools/storage_generator/storage_generator.h"

namespace po = boost::program_options;

namespace {

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    boost::split(items, text, boost::is_any_of(","), boost::token_compress_on);
    items.erase(std::remove(items.begin(), items.end(), std::string()), items.end());
    return items;
}

storagegen::Marker ParseMarker(const std::string& text) {
    if (text == "none") return storagegen::Marker::None;
    if (text == "empty") return storagegen::Marker::Empty;
    if (text == "file") return storagegen::Marker::WithFile;
    throw po::validation_error(po::validation_error::invalid_option_value, "dl", text);
}

storagegen::Structure ParseStructure(const std::string& text) {
    if (text == "old") return storagegen::Structure::Old;
    if (text == "new") return storagegen::Structure::New;
    throw po::validation_error(po::validation_error::invalid_option_value, "structure", text);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Folder names as UTF-8 on Windows, as the generator takes them.
    const platform::UnicodeRun unicode(argc, argv);
    po::options_description options("make_storage STORAGE_FOLDER [options]");
    options.add_options()("help,h", "this help")("storage", po::value<std::string>(),
                                                 "storage folder to lay out (created when missing)")(
        "structure", po::value<std::string>()->default_value("old"), "old (location/day) or new (day/location)")(
        "locations", po::value<std::string>()->default_value("1,2"), "comma-separated location folder names")(
        "days", po::value<std::string>()->default_value("2012-03-03,2012-03-04"), "comma-separated day folder names")(
        "recordings", po::value<unsigned>()->default_value(2), "placeholder recordings per location and day")(
        "day-databases", "give every location and day a <day>.db")(
        "backups", "give every location and day a <day>.db.old")("dl", po::value<std::string>()->default_value("none"),
                                                                 "DL marker folder: none, empty or file");
    po::positional_options_description positional;
    positional.add("storage", 1);

    try {
        po::variables_map values;
        po::store(po::command_line_parser(argc, argv).options(options).positional(positional).run(), values);
        po::notify(values);
        if (values.count("help") != 0 || values.count("storage") == 0) {
            std::cout << options << std::endl;
            return values.count("help") != 0 ? 0 : 2;
        }
        storagegen::StorageDescription description;
        description.structure = ParseStructure(values["structure"].as<std::string>());
        description.locations = SplitList(values["locations"].as<std::string>());
        description.days = SplitList(values["days"].as<std::string>());
        description.content.recordings = values["recordings"].as<unsigned>();
        description.content.dayDatabase = values.count("day-databases") != 0;
        description.content.backup = values.count("backups") != 0;
        description.content.dl = ParseMarker(values["dl"].as<std::string>());
        const auto recordings = storagegen::MakeStorage(values["storage"].as<std::string>(), description);
        std::cout << "Laid out " << recordings.size() << " recording(s) in " << values["storage"].as<std::string>()
                  << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "make_storage: " << e.what() << std::endl;
        return 1;
    }
}
