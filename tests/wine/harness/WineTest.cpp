#include "tests/wine/harness/WineTest.h"

#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "framework/core/Utf.h"

namespace wt {
namespace {

struct TestCase {
    std::string name;
    TestFunction fn;
};

std::vector<TestCase>& Registry() {
    static std::vector<TestCase> tests;
    return tests;
}

int g_failuresInTest = 0;

}  // namespace

Registration::Registration(const char* suite, const char* name, TestFunction fn) {
    Registry().push_back(TestCase{std::string(suite) + "." + name, fn});
}

void ReportFailure(const char* file, int line, const std::string& what) {
    ++g_failuresInTest;
    std::printf("%s:%d: Failure: %s\n", file, line, what.c_str());
    std::fflush(stdout);
}

std::string HrText(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::string GuidText(const GUID& g) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::string Utf8(const std::u16string& s) { return core::Utf16ToUtf8(s); }

void CheckHr(HRESULT got, HRESULT expected, const char* expr, const char* file, int line) {
    if (got != expected)
        ReportFailure(file, line, std::string(expr) + " returned " + HrText(got) + ", expected " + HrText(expected));
}

namespace {

// The argument selects tests by parts of their "Suite.Name", separated by
// commas: a test runs when its name contains one of the parts (or there are
// none but exclusions) and none of the parts written with a leading '-'.
struct TestFilter {
    std::vector<std::string> include, exclude;
    std::vector<int> matched;  // per include part, how many tests it took

    explicit TestFilter(const std::string& text) {
        size_t at = 0;
        while (at <= text.size()) {
            size_t end = text.find(',', at);
            if (end == std::string::npos) end = text.size();
            const std::string part = text.substr(at, end - at);
            if (part.size() > 1 && part[0] == '-')
                exclude.push_back(part.substr(1));
            else if (!part.empty())
                include.push_back(part);
            at = end + 1;
        }
        matched.assign(include.size(), 0);
    }

    bool Selects(const std::string& name) {
        for (const std::string& part : exclude)
            if (name.find(part) != std::string::npos) return false;
        if (include.empty()) return true;
        bool any = false;
        for (size_t i = 0; i < include.size(); ++i)
            if (name.find(include[i]) != std::string::npos) {
                ++matched[i];
                any = true;
            }
        return any;
    }
};

}  // namespace

int RunAllTests(int argc, char** argv) {
    const std::string filterText = argc > 1 ? argv[1] : "";
    TestFilter filter(filterText);
    int failed = 0, ran = 0;
    const HRESULT hrOle = OleInitialize(nullptr);
    if (FAILED(hrOle)) {
        std::printf("OleInitialize failed: %s\n", HrText(hrOle).c_str());
        return 1;
    }
    for (const auto& test : Registry()) {
        if (!filter.Selects(test.name)) continue;
        ++ran;
        g_failuresInTest = 0;
        std::printf("[ RUN      ] %s\n", test.name.c_str());
        std::fflush(stdout);
        const auto start = std::chrono::steady_clock::now();
        try {
            test.fn();
        } catch (const FatalFailure&) {
        } catch (const std::exception& e) {
            ReportFailure(__FILE__, __LINE__, std::string("exception: ") + e.what());
        } catch (...) {
            ReportFailure(__FILE__, __LINE__, "unknown exception");
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (g_failuresInTest) ++failed;
        std::printf("[ %s ] %s (%lld ms)\n", g_failuresInTest ? " FAILED " : "      OK", test.name.c_str(),
                    static_cast<long long>(ms));
        std::fflush(stdout);
    }
    OleUninitialize();
    std::printf("%d tests ran, %d failed\n", ran, failed);
    // A part that selects nothing is a test renamed or gone: the run that
    // was meant to cover it must not pass quietly.
    bool unmatched = ran == 0;
    for (size_t i = 0; i < filter.include.size(); ++i)
        if (!filter.matched[i]) {
            std::printf("no test matched '%s'\n", filter.include[i].c_str());
            unmatched = true;
        }
    if (ran == 0 && filter.include.empty()) std::printf("no test matched '%s'\n", filterText.c_str());
    return failed || unmatched ? 1 : 0;
}

}  // namespace wt
