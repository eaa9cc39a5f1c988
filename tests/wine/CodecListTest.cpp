// The compressor listings and the compressors' boxes through the control:
// the no-compression entry first, Wine's compressors and ours after it,
// every identifier binding again; the box queries; an About and a
// Configure box opened by the control and closed from here.
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "convctl/FilterUtil.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "platform/core/CodecCatalog.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/ControlHost.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;
using wt::ControlHost;

namespace {

struct Listed {
    std::string name;
    std::u16string id;
    LONG type;
};

// The entries one ListAVICodecs call fired, in order.
std::vector<Listed> List(ControlHost& host, LONG type) {
    host.ClearLog();
    CHECK_HR(host.Control()->ListAVICodecs(static_cast<EnumMediaType>(type)));
    std::vector<Listed> out;
    for (const auto& c : host.Log()) {
        if (c.id != wt::kEvCodecListed || c.args.size() != 3) {
            wt::ReportFailure(__FILE__, __LINE__, "an event other than AVICodecListed");
            continue;
        }
        out.push_back({c.args[0], com::U16(c.args[1]), static_cast<LONG>(std::stol(c.args[2]))});
    }
    return out;
}

ComPtr<IBaseFilter> Bind(const std::u16string& display) {
    ComPtr<IBaseFilter> filter;
    convctl::BindFilterByDisplayName(display, filter);
    return filter;
}

// Checks one listing: the fixed entry first, then compressors that each
// bind again from their identifier; returns the names after the first.
std::set<std::string> CheckListing(ControlHost& host, LONG type) {
    const std::vector<Listed> entries = List(host, type);
    REQUIRE(!entries.empty());
    CHECK_EQ(entries[0].name, std::string("<<< No compression >>>"));
    CHECK_EQ(entries[0].id, std::u16string());
    std::set<std::string> names;
    std::set<std::u16string> ids;
    for (const Listed& e : entries) {
        CHECK_EQ(e.type, type);
        if (&e == &entries[0]) continue;
        CHECK(!e.name.empty());
        CHECK(e.id.rfind(u"@device:", 0) == 0);
        CHECK(ids.insert(e.id).second);  // identifiers are unique
        names.insert(e.name);
        if (!Bind(e.id)) wt::ReportFailure(__FILE__, __LINE__, "does not bind again: " + e.name);
    }
    return names;
}

}  // namespace

WT_TEST(CodecList, VideoCompressorsWinesAndOurs) {
    ControlHost host(false);
    const std::set<std::string> names = CheckListing(host, 0);
    size_t ours = 0;
    for (const auto& c : media::VideoCodecs()) {
        if (names.count(c.friendlyName)) ++ours;
        else wt::ReportFailure(__FILE__, __LINE__, std::string("not listed: ") + c.friendlyName);
    }
    // Wine's own compressors are listed beside ours.
    CHECK(names.size() > ours);
}

WT_TEST(CodecList, AudioCompressorsForAnyTypeButZero) {
    ControlHost host(false);
    const std::set<std::string> names = CheckListing(host, 1);
    for (const auto& c : media::AudioCodecs())
        if (!names.count(c.friendlyName))
            wt::ReportFailure(__FILE__, __LINE__, std::string("not listed: ") + c.friendlyName);
    // Any type other than 0 lists the audio category, carrying the type given.
    CHECK(CheckListing(host, 7) == names);
    CHECK(CheckListing(host, -1) == names);
}

WT_TEST(CodecBox, QueriesAnswerMinusOneOrZero) {
    ControlHost host(false);
    for (const auto& e : List(host, 0)) {
        if (e.id.empty()) continue;
        VARIANT_BOOL about = 7, config = 7;
        CHECK_HR(host.Control()->DoesCodecHaveAboutBox(Bstr(e.id).Get(), &about));
        CHECK_HR(host.Control()->DoesCodecHaveConfigBox(Bstr(e.id).Get(), &config));
        CHECK(about == VARIANT_TRUE || about == VARIANT_FALSE);
        CHECK(config == VARIANT_TRUE || config == VARIANT_FALSE);
        // Ours have both boxes, through their property pages.
        const bool ours = e.id.find(u"{33D9A760-90C8-11D0-BD43-00A0C911CE86}") != std::u16string::npos &&
                          std::any_of(media::VideoCodecs().begin(), media::VideoCodecs().end(),
                                      [&](const media::VideoCodecInfo& c) { return e.name == c.friendlyName; });
        if (ours) {
            CHECK_EQ(about, VARIANT_TRUE);
            CHECK_EQ(config, VARIANT_TRUE);
        }
    }
    // Identifiers that bind to nothing answer false.
    for (const char16_t* bad : {u"", u"not a moniker", u"@device:sw:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\none",
                                u"@device:cm:{00000000-0000-0000-0000-000000000000}\\x"}) {
        VARIANT_BOOL about = 7, config = 7;
        CHECK_HR(host.Control()->DoesCodecHaveAboutBox(Bstr(bad).Get(), &about));
        CHECK_HR(host.Control()->DoesCodecHaveConfigBox(Bstr(bad).Get(), &config));
        CHECK_EQ(about, VARIANT_FALSE);
        CHECK_EQ(config, VARIANT_FALSE);
    }
}

namespace {

// Watches, on a thread of its own, for a dialog box of the test's thread,
// notes its caption and texts and whether its owner still took input, and
// closes it by posting WM_CLOSE; the box is modal, so the call that showed
// it returns only then. Its texts are read once they hold `awaited`, as the
// pages fill in after the box appears.
class BoxCloser {
public:
    explicit BoxCloser(HWND owner, std::string awaited = {})
        : m_owner(owner), m_thread(GetCurrentThreadId()), m_awaited(std::move(awaited)) {
        m_handle = CreateThread(nullptr, 0, &BoxCloser::Run, this, 0, nullptr);
    }
    ~BoxCloser() {
        m_stop = true;
        WaitForSingleObject(m_handle, INFINITE);
        CloseHandle(m_handle);
    }
    // Waits for the watcher; true when it found a box and saw it close.
    bool Closed() {
        m_stop = true;
        WaitForSingleObject(m_handle, INFINITE);
        return m_found && m_closed;
    }
    bool Found() const { return m_found; }
    // Whether the owner took input while the box was up.
    bool OwnerEnabled() const { return m_ownerEnabled; }
    const std::string& Caption() const { return m_caption; }
    const std::string& Texts() const { return m_texts; }

private:
    static constexpr DWORD kWaitMs = 20000;

    struct Search {
        BoxCloser* self;
        HWND found;
    };
    static BOOL CALLBACK FindBox(HWND w, LPARAM lp) {
        auto* s = reinterpret_cast<Search*>(lp);
        WCHAR cls[64] = {};
        GetClassNameW(w, cls, 63);
        if (IsWindowVisible(w) && com::Utf8(cls) == "#32770" &&
            GetWindowThreadProcessId(w, nullptr) == s->self->m_thread) {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK CollectText(HWND w, LPARAM lp) {
        WCHAR buf[512] = {};
        GetWindowTextW(w, buf, 511);
        if (buf[0]) *reinterpret_cast<std::string*>(lp) += com::Utf8(buf) + "\n";
        return TRUE;
    }
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<BoxCloser*>(p);
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        // The box opens while the test's thread is inside the call; a
        // watcher told to stop before then gives up at once.
        while (!box && GetTickCount() - start < kWaitMs) {
            Search s{self, nullptr};
            EnumWindows(&BoxCloser::FindBox, reinterpret_cast<LPARAM>(&s));
            box = s.found;
            if (!box) {
                if (self->m_stop) return 0;
                Sleep(20);
            }
        }
        if (!box) return 0;
        self->m_found = true;
        self->m_ownerEnabled = IsWindowEnabled(self->m_owner) != FALSE;
        WCHAR caption[256] = {};
        GetWindowTextW(box, caption, 255);
        self->m_caption = com::Utf8(caption);
        for (DWORD begun = GetTickCount();; Sleep(20)) {
            self->m_texts.clear();
            EnumChildWindows(box, &BoxCloser::CollectText, reinterpret_cast<LPARAM>(&self->m_texts));
            if (self->m_texts.find(self->m_awaited) != std::string::npos || GetTickCount() - begun > kWaitMs) break;
        }
        // WM_CLOSE, and should a box ignore it, Cancel; every two seconds.
        for (DWORD i = 0; IsWindow(box) && i < kWaitMs / 20; ++i, Sleep(20))
            if (i % 100 == 0) {
                if ((i / 100) % 2 == 0) PostMessageW(box, WM_CLOSE, 0, 0);
                else PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            }
        self->m_closed = !IsWindow(box);
        return 0;
    }

    HWND m_owner;
    DWORD m_thread;
    HANDLE m_handle = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_found{false};
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_ownerEnabled{true};
    std::string m_awaited;
    std::string m_caption, m_texts;
};

}  // namespace

WT_TEST(CodecBox, AboutAndConfigureBoxesOpenAndAreClosedByTheTest) {
    ControlHost host(false);
    const std::u16string mpeg4 = host.CodecId(0, u"MPEG-4 Part 2");
    const std::u16string mp3 = host.CodecId(1, u"MP3");
    REQUIRE(!mpeg4.empty() && !mp3.empty());
    const HWND owner = host.Container().Window();
    const LONG parent = static_cast<LONG>(reinterpret_cast<LONG_PTR>(owner));
    {
        // About: our About page alone, captioned with the compressor's name.
        BoxCloser closer(owner, "Writes video with the FourCC XVID");
        CHECK_HR(host.Control()->ShowAviCodecAboutBox(parent, Bstr(mpeg4).Get()));
        REQUIRE(closer.Closed());
        CHECK(closer.Caption().find("MPEG-4 Part 2 Video Compressor") != std::string::npos);
        CHECK(closer.Texts().find("Writes video with the FourCC XVID") != std::string::npos);
        CHECK(closer.Texts().find("bit rate") == std::string::npos);
        CHECK(!closer.OwnerEnabled());  // modal to its owner
        CHECK(IsWindowEnabled(owner));
    }
    {
        // Configure: every page, the settings among them.
        BoxCloser closer(owner);
        CHECK_HR(host.Control()->ShowAviCodecConfigBox(parent, Bstr(mp3).Get()));
        REQUIRE(closer.Closed());
        CHECK(closer.Caption().find("MP3") != std::string::npos);
        CHECK(!closer.OwnerEnabled());
        CHECK(IsWindowEnabled(owner));
    }
    // Wine's compressors and unknown identifiers show nothing and return.
    const std::u16string cinepak = host.CodecId(0, u"Cinepak");
    for (const std::u16string& id : {cinepak, std::u16string(u"not a moniker"), std::u16string()}) {
        BoxCloser closer(owner);
        CHECK_HR(host.Control()->ShowAviCodecAboutBox(parent, Bstr(id).Get()));
        CHECK_HR(host.Control()->ShowAviCodecConfigBox(parent, Bstr(id).Get()));
        closer.Closed();
        CHECK(!closer.Found());
        CHECK(IsWindowEnabled(owner));
    }
}
