#include "app/command_line.h"

#include <boost/lexical_cast.hpp>
#include <boost/program_options.hpp>
#include <cstdlib>
#include <iostream>

#include "app/console.h"

namespace po = boost::program_options;

namespace {

po::options_description BuildOptionTable() {
    po::options_description table("converter command line", 80, 40);
    table.add_options()
        ("help,h", "help message")
        ("path,p", po::value<std::string>(), "recording path")
        ("begin,b", po::value<std::string>(), "begin date")
        ("end,e", po::value<std::string>(), "end date")
        ("dbonly,o", "Repair database only(for new Directory Structure).")
        ("revert,r", "Revert to the old Directory Structure and remove the sqlite database.")
        ("verbose,v", po::value<unsigned>(),
         "Show detail progress. 0 = Disable, 1 = Normal(default), 2 = Detail(for debug only)");
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
    WriteHelpItem("usage:\n   Tolvane2.exe -p RECORDING_PATH");
    WriteHelpItem("example 1:\n   Tolvane2.exe -p \"C:\\Record\" -b \"2012-03-03\" -e \"2012-03-07\"");
    WriteHelpItem("example 2:\n   Tolvane2.exe -p \"D:\\Rec\"  -o -v 2");
    WriteHelpItem("example 3:\n   Tolvane2.exe -p \"D:\\Rec\"  -r -b \"2012-03-03\"");
    WriteHelpItem("PS:\n  old Directory Structure EX: D:\\Rec\\1\\2012-03-03  ");
    WriteHelpItem("PS:\n  new Directory Structure EX: D:\\Rec\\2012-03-03\\1  ");
    std::exit(0);
}

[[noreturn]] void ReportInvalidSyntaxAndExit(const std::string& what) {
    console::WriteLine("Invalid parameters got exception: " + what);
    std::cout << BuildOptionTable();
    console::WriteEmptyLine();
    std::exit(0);
}

const char* VerboseEcho(unsigned level) {
    if (level == 0) return "Show no progress";
    if (level == 1) return "Show normal progress";
    return "Show detail progress";
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
        console::WriteLine("Recording path: " + recordingPath);
        if (variablesMap.count("begin") != 0) {
            beginDate = variablesMap["begin"].as<std::string>();
            console::WriteLine("Begin date: " + beginDate);
        }
        if (variablesMap.count("end") != 0) {
            endDate = variablesMap["end"].as<std::string>();
            console::WriteLine("End date: " + endDate);
        }
        if (variablesMap.count("dbonly") != 0) {
            databaseOnly = true;
            console::WriteLine("Repair database only");
        }
        if (variablesMap.count("revert") != 0) {
            revert = true;
            console::WriteLine("Revert path");
        }
        if (variablesMap.count("verbose") != 0) {
            verboseLevel = variablesMap["verbose"].as<unsigned>();
            console::WriteLine(VerboseEcho(verboseLevel));
        }
    } catch (const po::invalid_command_line_syntax& e) {
        ReportInvalidSyntaxAndExit(e.what());
    } catch (const boost::bad_lexical_cast& e) {
        ReportInvalidSyntaxAndExit(e.what());
    } catch (...) {
        console::WriteLine("Parsing parameter failed.");
        std::exit(0);
    }
}

void ParseCommandLine(CommandLineOptions& options, int argc, const char* const argv[]) {
    po::variables_map variablesMap;
    ParseCommandLine(options.recordingPath, options.beginDate, argc, argv, variablesMap, options.endDate,
                     options.databaseOnly, options.revert, options.verboseLevel);
}
