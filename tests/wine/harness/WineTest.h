// A small test harness for winelib test programs, in the manner of Wine's
// own conformance tests: every failed check prints its place and values
// (HRESULTs in hex), the program runs all tests and exits non-zero when
// any check failed, so CTest reports it.
//
//   WT_TEST(Control, DefaultsRoundTrip) { CHECK_EQ(GetWidth(), 0); }
//
// The program's main calls wt::RunAllTests; an optional argument selects
// the tests whose "Suite.Name" contains one of its comma-separated parts,
// less those containing a part written "-Part"; a part that selects no
// test fails the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>

namespace wt {

using TestFunction = void (*)();

struct Registration {
    Registration(const char* suite, const char* name, TestFunction fn);
};

// Thrown by REQUIRE to leave the current test; caught by the runner.
struct FatalFailure {};

void ReportFailure(const char* file, int line, const std::string& what);
int RunAllTests(int argc, char** argv);

std::string HrText(HRESULT hr);
std::string GuidText(const GUID& guid);
std::string Utf8(const std::u16string& s);

template <class T>
std::string ToText(const T& v) {
    std::ostringstream out;
    if constexpr (std::is_same_v<T, std::u16string>) {
        out << '"' << Utf8(v) << '"';
    } else if constexpr (std::is_same_v<T, std::string>) {
        out << '"' << v << '"';
    } else if constexpr (std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*>) {
        out << '"' << (v ? v : "(null)") << '"';
    } else if constexpr (std::is_same_v<T, GUID>) {
        out << GuidText(v);
    } else if constexpr (std::is_same_v<T, bool>) {
        out << (v ? "true" : "false");
    } else if constexpr (std::is_enum_v<T>) {
        out << static_cast<long long>(v);
    } else if constexpr (std::is_pointer_v<T>) {
        out << static_cast<const void*>(v);
    } else if constexpr (std::is_floating_point_v<T>) {
        out.precision(10);
        out << v;
    } else if constexpr (std::is_integral_v<T> && sizeof(T) == 1) {
        out << static_cast<int>(v);
    } else {
        out << v;
    }
    return out.str();
}

template <class A, class B>
void CheckEqual(const A& a, const B& b, const char* ea, const char* eb, const char* file, int line) {
    bool equal;
    if constexpr (std::is_same_v<A, GUID> && std::is_same_v<B, GUID>) {
        equal = IsEqualGUID(a, b) != 0;
    } else if constexpr (std::is_integral_v<A> && std::is_integral_v<B>) {
        equal = static_cast<long long>(a) == static_cast<long long>(b);
    } else {
        equal = a == b;
    }
    if (!equal)
        ReportFailure(file, line,
                      std::string("CHECK_EQ(") + ea + ", " + eb + "): " + ToText(a) + " != " + ToText(b));
}

void CheckHr(HRESULT got, HRESULT expected, const char* expr, const char* file, int line);

}  // namespace wt

#define WT_TEST(suite, name)                                                         \
    static void suite##_##name##_body();                                             \
    static const ::wt::Registration suite##_##name##_registration(#suite, #name,     \
                                                                  &suite##_##name##_body); \
    static void suite##_##name##_body()

#define CHECK(cond) \
    ((cond) ? (void)0 : ::wt::ReportFailure(__FILE__, __LINE__, "CHECK(" #cond ")"))
#define CHECK_EQ(a, b) ::wt::CheckEqual((a), (b), #a, #b, __FILE__, __LINE__)
// HRESULT checks print both codes in hex.
#define CHECK_HR(expr) ::wt::CheckHr((expr), S_OK, #expr, __FILE__, __LINE__)
#define CHECK_HR_EQ(expr, expected) ::wt::CheckHr((expr), (expected), #expr, __FILE__, __LINE__)
#define REQUIRE(cond)                                                            \
    do {                                                                         \
        if (!(cond)) {                                                           \
            ::wt::ReportFailure(__FILE__, __LINE__, "REQUIRE(" #cond ")");       \
            throw ::wt::FatalFailure{};                                          \
        }                                                                        \
    } while (0)
#define REQUIRE_HR(expr)                                                         \
    do {                                                                         \
        const HRESULT wt_hr_ = (expr);                                           \
        if (wt_hr_ != S_OK) {                                                    \
            ::wt::CheckHr(wt_hr_, S_OK, #expr, __FILE__, __LINE__);              \
            throw ::wt::FatalFailure{};                                          \
        }                                                                        \
    } while (0)
