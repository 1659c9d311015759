#include "support/process.h"

#include <windows.h>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = boost::filesystem;

namespace testsupport {
namespace {

// Texts of the tests are UTF-8, as the tool takes its arguments.
std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// One argument as the runtime library's command-line parser splits it back.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    for (auto it = argument.begin();; ++it) {
        size_t backslashes = 0;
        while (it != argument.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == argument.end()) {
            quoted.append(backslashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        quoted.push_back(*it);
    }
    quoted.push_back(L'"');
    return quoted;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The test's own environment with the given variables added or replaced.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& changes) {
    std::vector<std::pair<std::wstring, std::wstring>> variables;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        const auto equals = text.find(L'=', 1);  // names of drive variables start with '='
        if (equals == std::wstring::npos) continue;
        variables.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    FreeEnvironmentStringsW(own);
    for (const auto& [name, value] : changes) {
        const std::wstring wideName = Widen(name);
        const auto found = std::find_if(variables.begin(), variables.end(),
                                        [&](const auto& variable) { return SameName(variable.first, wideName); });
        if (found != variables.end()) {
            found->second = Widen(value);
        } else {
            variables.emplace_back(wideName, Widen(value));
        }
    }
    std::wstring block;
    for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
    block += L'\0';
    return block;
}

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

HANDLE InheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Windows programs end their lines with "\r\n"; the expected texts of the
// tests are the same on every platform, so the line ends are compared apart.
std::string WithLineFeeds(const std::string& text, bool* bareLineFeed) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) *bareLineFeed = true;
        result.push_back(text[i]);
    }
    return result;
}

ProcessResult RunProcessRaw(const std::string& program, const std::vector<std::string>& args,
                            const ProcessOptions& options) {
    const fs::path outPath = fs::temp_directory_path() / fs::unique_path("tolvane2-out-%%%%-%%%%-%%%%");
    const fs::path errPath = fs::temp_directory_path() / fs::unique_path("tolvane2-err-%%%%-%%%%-%%%%");
    ProcessResult result;
    {
        OwnedHandle in(InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING));
        OwnedHandle out(InheritableFile(outPath.wstring(), GENERIC_WRITE, CREATE_ALWAYS));
        OwnedHandle err(InheritableFile(errPath.wstring(), GENERIC_WRITE, CREATE_ALWAYS));
        if (!in.valid() || !out.valid() || !err.valid()) throw std::runtime_error("cannot make the output files");

        std::wstring commandLine = Quote(Widen(program));
        for (const auto& arg : args) commandLine += L" " + Quote(Widen(arg));
        std::wstring environment = EnvironmentBlock(options.environment);
        const std::wstring folder = Widen(options.workingDirectory);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION process{};
        std::fflush(nullptr);
        if (!CreateProcessW(Widen(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                            CREATE_UNICODE_ENVIRONMENT, environment.data(), folder.empty() ? nullptr : folder.c_str(),
                            &startup, &process)) {
            result.exitCode = 127;
        } else {
            OwnedHandle thread(process.hThread);
            OwnedHandle child(process.hProcess);
            WaitForSingleObject(child.get(), INFINITE);
            DWORD code = 0;
            GetExitCodeProcess(child.get(), &code);
            result.exitCode = static_cast<int>(code);
        }
    }
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    boost::system::error_code ignored;
    fs::remove(outPath, ignored);
    fs::remove(errPath, ignored);
    return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    ProcessResult result = RunProcessRaw(program, args, options);
    bool bareLineFeed = false;
    result.out = WithLineFeeds(result.out, &bareLineFeed);
    result.err = WithLineFeeds(result.err, &bareLineFeed);
    return result;
}

std::string RedirectedText(const std::string& text) {
    const std::wstring wide = Widen(text);
    const UINT codePage = GetConsoleOutputCP();
    if (wide.empty() || codePage == CP_UTF8) return text;
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), length, "?", nullptr);
    return narrow;
}

std::string ToolPath() { return TOLVANE2_EXE; }
std::string BuildDirectory() { return TOLVANE2_BUILD_DIR; }

ProcessResult RunTool(const std::vector<std::string>& args, const ProcessOptions& options) {
    ProcessOptions withFolder = options;
    if (withFolder.workingDirectory.empty()) withFolder.workingDirectory = BuildDirectory();
    ProcessResult result = RunProcessRaw(ToolPath(), args, withFolder);
    bool bareLineFeed = false;
    result.out = WithLineFeeds(result.out, &bareLineFeed);
    result.err = WithLineFeeds(result.err, &bareLineFeed);
    EXPECT_FALSE(bareLineFeed) << "a line of the tool ends without \"\\r\\n\"";
    return result;
}

}  // namespace testsupport
