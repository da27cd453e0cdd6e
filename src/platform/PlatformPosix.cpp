#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "Platform.h"

extern char** environ;

namespace platform {

namespace {
std::mutex gOpenerMutex;
std::function<void(const std::string&)> gOpener;

// The program's name and its arguments as exec takes them; the strings live in all.
std::vector<char*> Argv(std::vector<std::string>& all) {
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

bool StartDetached(const std::string& program, const std::vector<std::string>& args) {
    // A double fork: the program is adopted by init, so no zombie waits for us to reap it.
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = Argv(all);
    int pipefd[2];
    if (pipe(pipefd) != 0) return false;
    pid_t child = fork();
    if (child < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return false;
    }
    if (child == 0) {
        close(pipefd[0]);
        setsid();
        pid_t pid = 0;
        int rc = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
        char ok = rc == 0 ? 1 : 0;
        (void)!write(pipefd[1], &ok, 1);
        _exit(0);
    }
    close(pipefd[1]);
    char ok = 0;
    bool started = read(pipefd[0], &ok, 1) == 1 && ok == 1;
    close(pipefd[0]);
    waitpid(child, nullptr, 0);
    return started;
}

int StartChild(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = Argv(all);
    pid_t pid = -1;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A session of its own, as a program the user started: it outlives this one.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
}

bool ChildRunning(int pid) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    return r == 0;
}

void KillChild(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string FindProgram(const std::vector<std::string>& names) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (const std::string& name : names) {
        size_t start = 0;
        while (start <= dirs.size()) {
            size_t end = dirs.find(':', start);
            if (end == std::string::npos) end = dirs.size();
            std::string candidate = dirs.substr(start, end - start) + "/" + name;
            start = end + 1;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return {};
}

void SetUrlOpener(std::function<void(const std::string&)> opener) {
    std::lock_guard lock(gOpenerMutex);
    gOpener = std::move(opener);
}

bool OpenUrl(const std::string& url) {
    std::function<void(const std::string&)> replaced;
    {
        // Copied out, so the opener runs without the lock.
        std::lock_guard lock(gOpenerMutex);
        replaced = gOpener;
    }
    if (replaced) {
        replaced(url);
        return true;
    }
    // xdg-open knows the browser the user chose on any desktop; the rest are for systems
    // without it.
    std::string opener = FindProgram({"xdg-open", "x-www-browser", "sensible-browser", "firefox",
                                      "firefox-esr", "chromium", "google-chrome", "epiphany"});
    return !opener.empty() && StartDetached(opener, {url});
}

bool StartCalculator() {
    std::string calc = FindProgram(
        {"gnome-calculator", "kcalc", "galculator", "qalculate-gtk", "mate-calc", "xcalc"});
    return !calc.empty() && StartDetached(calc, {});
}

std::string TempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string MakePrivateDirectory(const std::string& parent, const std::string& prefix) {
    std::string pattern = parent + prefix + "XXXXXX";
    // mkdtemp creates the folder itself, mode 0700, and never reuses an existing name.
    if (!mkdtemp(pattern.data())) return std::string();
    return pattern + "/";
}

std::string ProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, n) : std::string();
}

std::string ProgramDirectory() {
    std::string path = ProgramPath();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace platform
