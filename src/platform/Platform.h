#pragma once
// What the program needs from the operating system: starting programs, opening addresses in
// the user's browser, the temporary and program directories. One POSIX implementation here;
// a Windows one would sit beside it.

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Starts a program without waiting for it; false when it could not be started.
bool StartDetached(const std::string& program, const std::vector<std::string>& args);
// Starts a program as a child of this process, to watch it; its process id, or -1.
int StartChild(const std::string& program, const std::vector<std::string>& args);
// True while the child runs; once it has ended (exited or killed) false, and it is reaped.
bool ChildRunning(int pid);
// Ends the child at once and reaps it.
void KillChild(int pid);

// The first of the names found on the search path, or empty.
std::string FindProgram(const std::vector<std::string>& names);

// Opens an address in the user's browser: the desktop's opener (xdg-open) first, then the
// Debian alternatives and the common browsers; false when none is installed. Tests replace
// the opener.
bool OpenUrl(const std::string& url);
void SetUrlOpener(std::function<void(const std::string&)> opener);

// Replaces the opener for as long as it lives, then puts the system's back.
class ScopedUrlOpener {
public:
    explicit ScopedUrlOpener(std::function<void(const std::string&)> opener) {
        SetUrlOpener(std::move(opener));
    }
    ~ScopedUrlOpener() { SetUrlOpener({}); }
    ScopedUrlOpener(const ScopedUrlOpener&) = delete;
    ScopedUrlOpener& operator=(const ScopedUrlOpener&) = delete;
};

// The calculator, the first one found on this system; false when there is none.
bool StartCalculator();

// With a trailing separator.
std::string TempDirectory();
// A new folder inside parent that only this user may enter, with a name nobody can guess
// beforehand; with a trailing separator, empty when it cannot be made.
std::string MakePrivateDirectory(const std::string& parent, const std::string& prefix);
std::string ProgramDirectory();
std::string ProgramPath();

}  // namespace platform
