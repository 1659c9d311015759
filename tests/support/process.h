#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    std::string out;
    std::string err;
    int exitCode = -1;
};

struct ProcessOptions {
    std::string workingDirectory;                    // empty: the test's own
    std::map<std::string, std::string> environment;  // added to (or replacing in) the test's own
};

// Runs a program to completion with its output captured; stdin is /dev/null.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The tool's executable and the build folder it sits in (holding PellamDB/).
std::string ToolPath();
std::string BuildDirectory();

// The bytes the tool writes to a redirected output for a UTF-8 text: the text
// itself on POSIX; on Windows the text in the console's output code page,
// '?' for each character it cannot hold.
std::string RedirectedText(const std::string& text);

// Runs the tool from its build folder, as an operator would.
ProcessResult RunTool(const std::vector<std::string>& args, const ProcessOptions& options = {});

}  // namespace testsupport
