#include "app/command_line.h"

#include <boost/lexical_cast.hpp>
#include <boost/program_options.hpp>
#include <cstdlib>
#include <iostream>

#include "app/console.h"
#include "app/design_texts.h"

namespace po = boost::program_options;

namespace {

po::options_description BuildOptionTable() {
    po::options_description table(design_texts::kOptionTableCaption, 80, 40);
    // clang-format off
    table.add_options()
        ("help,h", design_texts::kHelpOptionText)
        ("path,p", po::value<std::string>(), design_texts::kPathOptionText)
        ("begin,b", po::value<std::string>(), design_texts::kBeginOptionText)
        ("end,e", po::value<std::string>(), design_texts::kEndOptionText)
        ("dbonly,o", design_texts::kDatabaseOnlyOptionText)
        ("revert,r", design_texts::kRevertOptionText)
        ("verbose,v", po::value<unsigned>(), design_texts::kVerboseOptionText);
    // clang-format on
    return table;
}

// Each help item is followed by two separately flushed line ends.
void WriteHelpItem(const std::string& item) {
    std::cout << item;
    console::WriteEmptyLine();
    console::WriteEmptyLine();
}

[[noreturn]] void PrintHelpAndExit(const po::options_description& table) {
    std::cout << table;
    console::WriteEmptyLine();
    console::WriteEmptyLine();
    for (const char* item : design_texts::kHelpItems) WriteHelpItem(item);
    std::exit(0);
}

[[noreturn]] void ReportInvalidSyntaxAndExit(const std::string& what) {
    console::WriteLine(design_texts::InvalidParametersLine(what));
    std::cout << BuildOptionTable();
    console::WriteEmptyLine();
    std::exit(0);
}

}  // namespace

void ParseCommandLine(std::string& recordingPath, std::string& beginDate, int argc, const char* const argv[],
                      po::variables_map& variablesMap, std::string& endDate, bool& databaseOnly, bool& revert,
                      unsigned& verboseLevel) {
    try {
        const po::options_description table = BuildOptionTable();
        po::store(po::command_line_parser(argc, argv).options(table).allow_unregistered().run(), variablesMap);
        po::notify(variablesMap);

        if (variablesMap.count("help") != 0 || variablesMap.count("path") == 0) PrintHelpAndExit(table);

        recordingPath = variablesMap["path"].as<std::string>();
        console::WriteLine(design_texts::RecordingPathLine(recordingPath));
        if (variablesMap.count("begin") != 0) {
            beginDate = variablesMap["begin"].as<std::string>();
            console::WriteLine(design_texts::BeginDateLine(beginDate));
        }
        if (variablesMap.count("end") != 0) {
            endDate = variablesMap["end"].as<std::string>();
            console::WriteLine(design_texts::EndDateLine(endDate));
        }
        if (variablesMap.count("dbonly") != 0) {
            databaseOnly = true;
            console::WriteLine(design_texts::kDatabaseOnlyEcho);
        }
        if (variablesMap.count("revert") != 0) {
            revert = true;
            console::WriteLine(design_texts::kRevertEcho);
        }
        if (variablesMap.count("verbose") != 0) {
            verboseLevel = variablesMap["verbose"].as<unsigned>();
            console::WriteLine(design_texts::VerboseEcho(verboseLevel));
        }
    } catch (const po::invalid_command_line_syntax& e) {
        ReportInvalidSyntaxAndExit(e.what());
    } catch (const boost::bad_lexical_cast& e) {
        ReportInvalidSyntaxAndExit(e.what());
    } catch (...) {
        console::WriteLine(design_texts::kParsingFailed);
        std::exit(0);
    }
}

void ParseCommandLine(CommandLineOptions& options, int argc, const char* const argv[]) {
    po::variables_map variablesMap;
    ParseCommandLine(options.recordingPath, options.beginDate, argc, argv, variablesMap, options.endDate,
                     options.databaseOnly, options.revert, options.verboseLevel);
}
