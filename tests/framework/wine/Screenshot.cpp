#include "tests/framework/wine/Screenshot.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "framework/com/WinText.h"
#include "tests/wine/harness/ComTestUtil.h"

extern char** environ;

namespace ft {
namespace {

// The test programs run from drive Z:, which is the Unix root.
std::string UnixPathOf(const std::u16string& windowsPath) {
    std::string p = com::Utf8(com::W(windowsPath));
    if (p.size() > 2 && (p[0] == 'Z' || p[0] == 'z') && p[1] == ':') p = p.substr(2);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

}  // namespace

std::string ScreenshotPath(const std::string& fileName) {
    WCHAR exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::string bin = UnixPathOf(com::U16(exe));
    bin = bin.substr(0, bin.find_last_of('/'));          // .../build/bin
    const std::string build = bin.substr(0, bin.find_last_of('/'));
    const std::string dir = build + "/screenshots";
    mkdir(dir.c_str(), 0755);
    return dir + "/" + fileName;
}

bool TakeScreenshot(const std::string& unixPath, const RECT& r) {
    const char* tool = "/usr/bin/import";
    if (access(tool, X_OK) != 0) return false;
    char geometry[64];
    std::snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", static_cast<long>(r.right - r.left),
                  static_cast<long>(r.bottom - r.top), static_cast<long>(r.left), static_cast<long>(r.top));
    std::vector<std::string> args = {tool, "-window", "root", "-crop", geometry, "+repage", unixPath};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, tool, nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    const bool done = wt::PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 20000);
    if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ft
