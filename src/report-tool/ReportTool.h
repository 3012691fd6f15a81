#pragma once
#include "platform/Console.h"
#include "platform/Cryptography.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"
#include "platform/Folders.h"
#include "platform/FileSystem.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace reporttool {

struct ToolEnvironment {
    platform::Console& console;
    platform::FileSystem& files;
    platform::DynamicLibraries& libraries;
    platform::FileStreams& streams;        // tells a link in the database's place
    platform::Folders& folders;            // the folders "load" searches
    platform::Cryptography& cryptography;  // opens and makes sealed files
};

// Exit status: 0 done, 1 differences found ("diff"), 2 anything that went wrong.
enum ExitStatus { done = 0, differencesFound = 1, failed = 2 };

// The folder part of a path, with its separator; empty for a bare name.
std::wstring folderOf(const platform::FileSystem& files, const std::wstring& path);

// What became of a new file of the tool's own.
enum class NewFile { written, exists, notCreated, notWritten };

// Writes BYTES to a new owner-only file and moves it under TARGET only where
// nothing is: what is there already, a link included, is never followed or
// replaced. On any failure the tool's own file is gone again.
NewFile writeNewFile(platform::FileSystem& files, const std::wstring& target, std::string_view bytes);
// The same with the contents that WRITE puts into the file; what it throws
// passes on, the file gone again.
NewFile writeNewFile(platform::FileSystem& files, const std::wstring& target,
                     const std::function<platform::ErrorCode(platform::FileStream&)>& write);

// Text for people, UTF-8, on standard output (or error).
void writeText(platform::Console& console, const std::string& utf8, bool error = false);
// A failure on standard error, one line: the paths and report text it quotes may hold
// controls, which reach the terminal only as escapes.
void writeFailure(platform::Console& console, std::string_view message);

// A command line that does not fit its command.
class UsageError {
public:
    explicit UsageError(std::string text) : message(std::move(text)) {}
    std::string message;
};

// Runs a command; what it throws becomes a message on standard error (a usage
// error with the hint to HELP) and the status "failed".
int runGuarded(platform::Console& console, const std::string& help, const std::function<int()>& command);

// The command line after the program's name, UTF-8.
int runReportTool(const std::vector<std::string>& arguments, ToolEnvironment& environment);

}  // namespace reporttool
