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

int RunAllTests(int argc, char** argv) {
    const std::string filter = argc > 1 ? argv[1] : "";
    int failed = 0, ran = 0;
    const HRESULT hrOle = OleInitialize(nullptr);
    if (FAILED(hrOle)) {
        std::printf("OleInitialize failed: %s\n", HrText(hrOle).c_str());
        return 1;
    }
    for (const auto& test : Registry()) {
        if (!filter.empty() && test.name.find(filter) == std::string::npos) continue;
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
    if (ran == 0) {
        std::printf("no test matched '%s'\n", filter.c_str());
        return 1;
    }
    return failed ? 1 : 0;
}

}  // namespace wt
