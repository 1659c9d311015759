#include "support/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {
namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string MakeTempFile(const char* tag) {
    std::string name = std::string("/tmp/tolvane2-") + tag + "-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    return name;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    const std::string outPath = MakeTempFile("out");
    const std::string errPath = MakeTempFile("err");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) _exit(126);
        for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProcessResult result;
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

std::string RedirectedText(const std::string& text) { return text; }

std::string ToolPath() { return TOLVANE2_EXE; }
std::string BuildDirectory() { return TOLVANE2_BUILD_DIR; }

ProcessResult RunTool(const std::vector<std::string>& args, const ProcessOptions& options) {
    ProcessOptions withFolder = options;
    if (withFolder.workingDirectory.empty()) withFolder.workingDirectory = BuildDirectory();
    return RunProcess(ToolPath(), args, withFolder);
}

}  // namespace testsupport
