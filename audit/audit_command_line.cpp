#include "audit/audit_command_line.h"

#include "app/next_steps.h"

#include <boost/nowide/fstream.hpp>
#include <boost/program_options.hpp>
#include <sstream>

#include "app/dates.h"

namespace po = boost::program_options;

namespace audit {

namespace {

po::options_description OptionTable() {
    po::options_description table("Options", 100, 50);
    table.add_options()("path,p", po::value<std::string>(), "the storage folder")("begin,b", po::value<std::string>(),
                                                                                  "first day to audit, YYYY-MM-DD")(
        "end,e", po::value<std::string>(), "last day to audit, YYYY-MM-DD")("html", po::value<std::string>(),
                                                                            "also write the audit as one static page")(
        "json", po::value<std::string>(), "also write the audit as JSON (- for standard output)")(
        "gap", po::value<std::string>(), "report gaps longer than this many seconds (default 60)")(
        "verify", "read every recording and list rows a repair would write differently")(
        "compare", po::value<std::string>(), "mark each problem fixed, still open or new against an earlier --json")(
        "baseline", po::value<std::string>(), "problems listed in this file (--accept-all) are accepted: no exit 1")(
        "accept-all", po::value<std::string>(), "write this audit's problems as a file for --baseline")(
        "max-gap", po::value<std::vector<std::string>>(),
        "[LOCATION=]SECONDS: a longer gap, or a day without recordings, is an outage (repeatable)")(
        "events", po::value<std::vector<std::string>>(),
        "LOCATION records on events: its gaps are no outage (repeatable; @FILE: names one a line)")(
        "help,h", "this text")("version", "the version");
    return table;
}

// A whole number of seconds above 0, written with digits only.
bool ParseGap(const std::string& text, unsigned& seconds) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    seconds = static_cast<unsigned>(std::stoul(text));
    return seconds > 0;
}

// "SECONDS" for every location or "LOCATION=SECONDS" for one.
bool ParseMaxGap(const std::string& text, AuditOptions& options) {
    const std::size_t equals = text.rfind('=');
    unsigned seconds = 0;
    if (!ParseGap(equals == std::string::npos ? text : text.substr(equals + 1), seconds)) return false;
    if (equals == std::string::npos) {
        options.maxGapSeconds = seconds;
    } else {
        if (equals == 0) return false;
        options.maxGapByLocation[text.substr(0, equals)] = seconds;
    }
    return true;
}

// A location's name, or @FILE: one name a line, blank lines and # comments skipped.
bool ParseEvents(const std::string& text, AuditOptions& options, std::string& error) {
    if (text.empty() || text[0] != '@') {
        options.eventLocations.insert(text);
        return true;
    }
    boost::nowide::ifstream in(text.substr(1));
    if (!in) {
        error = "--events cannot read " + text.substr(1);
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') options.eventLocations.insert(line);
    }
    return true;
}

}  // namespace

std::string AuditUsage() {
    std::ostringstream text;
    text << "Tolvane2Audit: a read-only audit of a storage folder's recordings and day databases.\n"
         << "usage: Tolvane2Audit -p PATH [-b YYYY-MM-DD] [-e YYYY-MM-DD] [--html FILE] [--json FILE]\n"
         << "                     [--gap SECONDS] [--verify] [--compare EARLIER.json] [--baseline ACCEPTED.json]\n"
         << "                     [--accept-all OUT.json] [--max-gap [LOCATION=]SECONDS] [--events LOCATION]\n"
         << OptionTable()
         << "Exit code: 0 location-days audited and no problem found but accepted ones (--baseline); 1 problems\n"
         << "found; 2 nothing could be judged (a usage error, a storage it cannot read, no day folder in range, an\n"
         << "earlier audit or baseline of another storage or format); 3 a repair is running on the storage now:\n"
         << "nothing judged, only the JSON written (repair_running), a page left as it was.\n"
         << "Next steps, by problem, as the page gives them:\n";
    for (const NextStep& row : NextSteps()) text << "  " << row.id << ": " << row.step << "\n";
    return text.str();
}

ParseOutcome ParseAuditCommandLine(int argc, const char* const argv[], AuditOptions& options, std::string& error) {
    po::variables_map values;
    try {
        po::store(po::command_line_parser(argc, argv).options(OptionTable()).run(), values);
        po::notify(values);
    } catch (const std::exception& e) {
        error = e.what();
        return ParseOutcome::UsageError;
    }
    if (values.count("help") != 0) return ParseOutcome::Help;
    if (values.count("version") != 0) return ParseOutcome::Version;
    if (values.count("path") == 0) {
        error = "the storage folder (-p PATH) is missing";
        return ParseOutcome::UsageError;
    }
    options.path = values["path"].as<std::string>();
    for (const auto& [name, target] : {std::pair<const char*, std::string*>{"begin", &options.beginDate},
                                       std::pair<const char*, std::string*>{"end", &options.endDate}}) {
        if (values.count(name) == 0) continue;
        *target = values[name].as<std::string>();
        if (!MatchDateFormat(target->c_str())) {
            error = std::string("--") + name + " takes a date as YYYY-MM-DD, not " + *target;
            return ParseOutcome::UsageError;
        }
        if (!IsCalendarDate(*target)) {
            error = std::string("--") + name + " " + *target + " is no day of the calendar";
            return ParseOutcome::UsageError;
        }
    }
    if (values.count("begin") != 0 && values.count("end") != 0 && options.endDate < options.beginDate) {
        error = "--begin " + options.beginDate + " is after --end " + options.endDate;
        return ParseOutcome::UsageError;
    }
    if (values.count("html") != 0) options.htmlFile = values["html"].as<std::string>();
    if (values.count("json") != 0) options.jsonFile = values["json"].as<std::string>();
    if (values.count("gap") != 0 && !ParseGap(values["gap"].as<std::string>(), options.gapSeconds)) {
        error = "--gap takes a whole number of seconds above 0, not " + values["gap"].as<std::string>();
        return ParseOutcome::UsageError;
    }
    options.verify = values.count("verify") != 0;
    if (values.count("compare") != 0) options.compareFile = values["compare"].as<std::string>();
    if (values.count("baseline") != 0) options.baselineFile = values["baseline"].as<std::string>();
    if (values.count("accept-all") != 0) options.acceptAllFile = values["accept-all"].as<std::string>();
    if (values.count("max-gap") != 0) {
        for (const std::string& text : values["max-gap"].as<std::vector<std::string>>()) {
            if (!ParseMaxGap(text, options)) {
                error = "--max-gap takes [LOCATION=]SECONDS, a whole number above 0, not " + text;
                return ParseOutcome::UsageError;
            }
        }
    }
    if (values.count("events") != 0) {
        for (const std::string& text : values["events"].as<std::vector<std::string>>()) {
            if (!ParseEvents(text, options, error)) return ParseOutcome::UsageError;
        }
    }
    options.arguments.assign(argv + 1, argv + argc);
    return ParseOutcome::Run;
}

}  // namespace audit
