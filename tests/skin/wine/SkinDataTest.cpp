// The skin data component on forms of its own: loading from the stored
// stream and from files, what it asks of the skin manager (recorded until
// the manager comes), the archives it refuses, and the bitmap transforms on
// framework bitmaps.
#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinImage.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tools/skinkit/DefaultSkin.h"

using forms::String;
using skin::TSkinData;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Archive(const std::string& palette = "") {
    return skinkit::WriteSkinArchive(
        skinkit::BuildSkinEntries(palette.empty() ? skinkit::DefaultPalette() : skinkit::ShippedPalette(palette)));
}

Bytes Stored(const Bytes& archive) { return skinkit::StoredSkinArchive(archive); }

skin::SkinCallLog& Log() { return dynamic_cast<skin::SkinCallLog&>(skin::CreateSkinManager()); }

// A form holding one skin component, built the way stored forms are: the
// stored values first, then Loaded.
struct Rig {
    ft::TestApp app;
    forms::TForm* form;
    TSkinData* data;
    String folder;

    explicit Rig(const Bytes* stream, bool active = true,
                 skin::TSkinFormType type = skin::TSkinFormType::sfMainform) {
        skin::DestroySkinManager();
        // The component's requests are recorded, not run.
        skin::SetSkinManagerFactory([] { return std::make_unique<skin::SkinCallLog>(); });
        form = new forms::TForm(nullptr);
        data = new TSkinData(form);
        data->SkinFormtype = type;
        data->SetActive(active);
        if (stream) {
            forms::TMemoryStream s(*stream);
            data->ReadSkinStream(s);
        }
        form->LoadedTree();
        WCHAR temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = com::U16(temp) + u"skindata" + forms::IntToStr(GetCurrentProcessId()) + u"\\";
        CreateDirectoryW(com::W(folder), nullptr);
    }
    ~Rig() {
        delete form;
        skin::DestroySkinManager();
        skin::SetSkinManagerFactory(nullptr);
        WIN32_FIND_DATAW fd;
        const HANDLE h = FindFirstFileW(com::W(folder + u"*"), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do DeleteFileW(com::W(folder + com::U16(fd.cFileName)));
            while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(com::W(folder));
    }
    String Write(const char16_t* name, const Bytes& bytes) {
        const String path = folder + name;
        const HANDLE f = CreateFileW(com::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
        return path;
    }
};

}  // namespace

WT_TEST(SkinData, TheStoredStreamLoadsAndActivationIsQueued) {
    const Bytes archive = Archive();
    const Bytes stream = Stored(archive);
    Rig rig(&stream);
    CHECK(rig.data->Active());
    CHECK(!rig.data->NoSkinLoaded());
    CHECK(rig.data->Elements().SkinName == skinkit::DefaultPalette().skinName);
    CHECK_EQ(rig.data->Elements().BorderTop->Bitmap.height, 52);
    CHECK(Log().Calls == (std::vector<std::string>{"Register", "InstallHook", "QueueJob 1 250"}));
    CHECK(rig.data->SkinStore() == u"(none)");
    CHECK_EQ(rig.data->Skin3rd().Count(), 95);
    // Written back, the stream is the count and the archive again.
    forms::TMemoryStream out;
    rig.data->WriteSkinStream(out);
    CHECK(out.Bytes() == stream);
    CHECK(rig.data->FaceBrush() != nullptr);

    // The same value again asks for nothing.
    Log().Calls.clear();
    rig.data->SetActive(true);
    CHECK(Log().Calls.empty());
    rig.data->SetActive(false);
    CHECK(Log().Calls == (std::vector<std::string>{"QueueJob 2 250", "SetCurrentSkinData"}));
}

WT_TEST(SkinData, AnUnusableStoredSkinLeavesTheComponentInactive) {
    Bytes spoilt = Stored(Archive());
    spoilt[4] = spoilt[5] = spoilt[6] = spoilt[7] = 0xFF;  // declared size -1: no version
    {
        ft::MessageBoxAnswerer answers;
        Rig rig(&spoilt);
        CHECK(!rig.data->Active());
        CHECK(rig.data->NoSkinLoaded());
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"This is Older Skin File\rPlease update to new version !");
        CHECK(Log().Calls == (std::vector<std::string>{"Register", "InstallHook"}));
    }
    // A count larger than the stream, and no stream at all.
    Bytes longCount = Stored(Archive());
    longCount[3] = 0x40;
    const Bytes* streams[] = {&longCount, nullptr};
    for (const Bytes* s : streams) {
        Rig rig(s);
        CHECK(!rig.data->Active());
        CHECK(rig.data->NoSkinLoaded());
    }
}

WT_TEST(SkinData, AFileThatCannotBeUsedChangesNothing) {
    const Bytes stream = Stored(Archive());
    Rig rig(&stream);
    const String slate = rig.Write(u"slate.skn", Archive("slate"));
    rig.data->SetSkinFile(slate);
    CHECK(rig.data->SkinFile() == slate);
    CHECK(rig.data->Elements().SkinName == "Slate");
    const skin::SkinElements* before = &rig.data->Elements();
    const Bytes bytesBefore = rig.data->SkinBytes().Bytes();
    Log().Calls.clear();

    // Damaged, without a description, of the wrong version, empty.
    Bytes damaged = Archive("meadow");
    damaged[0] = 'j';
    damaged[3] = 'k';
    std::vector<skinkit::SkinEntry> noIni = skinkit::BuildSkinEntries(skinkit::DefaultPalette());
    noIni.erase(noIni.begin());
    skinkit::WriterFaults old;
    old.version = 19999;
    const String files[] = {rig.Write(u"damaged.skn", damaged), rig.Write(u"noini.skn", skinkit::WriteSkinArchive(noIni)),
                            rig.Write(u"old.skn", skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::DefaultPalette()), old)),
                            rig.Write(u"empty.skn", {})};
    {
        ft::MessageBoxAnswerer answers;
        for (const String& f : files) rig.data->SetSkinFile(f);
        CHECK_EQ(answers.Texts().size(), 1u);  // the old version says so
    }
    CHECK(rig.data->SkinFile() == slate);
    CHECK(&rig.data->Elements() == before);
    CHECK(rig.data->SkinBytes().Bytes() == bytesBefore);
    CHECK(!rig.data->NoSkinLoaded());
    CHECK(Log().Calls.empty());

    // A good one asks for a re-skin.
    rig.data->SetSkinFile(rig.Write(u"meadow.skn", Archive("meadow")));
    CHECK(rig.data->Elements().SkinName == "Meadow");
    CHECK(Log().Calls == (std::vector<std::string>{"SetCurrentSkinData", "PrepareNewSkin", "QueueJob 3 250"}));

    // A missing file keeps only its path, and activation waits.
    Log().Calls.clear();
    rig.data->SetActive(false);
    rig.data->SetSkinFile(rig.folder + u"missing.skn");
    CHECK(rig.data->NoSkinLoaded());
    Log().Calls.clear();
    rig.data->SetActive(true);
    CHECK(Log().Calls.empty());
}

// The description is parsed where it lies: a file in the temporary folder
// with the entry's name is neither overwritten nor deleted.
WT_TEST(SkinData, TheDescriptionNeverPassesThroughTheTemporaryFolder) {
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const String bystander = com::U16(temp) + u"default.ini";
    const HANDLE f = CreateFileW(com::W(bystander), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "keep me", 7, &written, nullptr);
    CloseHandle(f);
    {
        const Bytes stream = Stored(Archive());
        Rig rig(&stream);
        CHECK(!rig.data->NoSkinLoaded());
    }
    char text[16] = {};
    DWORD read = 0;
    const HANDLE g = CreateFileW(com::W(bystander), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(g != INVALID_HANDLE_VALUE);
    ReadFile(g, text, sizeof text, &read, nullptr);
    CloseHandle(g);
    CHECK(std::string(text, read) == "keep me");
    DeleteFileW(com::W(bystander));
}

WT_TEST(SkinData, DialogComponentsAttachAtOnceAndQueueNothing) {
    const Bytes stream = Stored(Archive());
    Rig rig(&stream, false, skin::TSkinFormType::sfDialog);
    CHECK(Log().Calls == (std::vector<std::string>{"Register", "NoteActivation", "AttachFormSkinner"}));
    Log().Calls.clear();
    rig.data->SetActive(true);
    CHECK(rig.data->Active());
    CHECK(Log().Calls.empty());

    bool doSkin = true;
    rig.data->AskFormSkin(u"SysMonthCal32", doSkin);
    CHECK(!doSkin);
    doSkin = true;
    rig.data->AskFormSkin(u"TfrPreview", doSkin);
    CHECK(doSkin);
    rig.data->SkinControls |= skin::SkinControlBit(skin::xcFastReport);
    rig.data->AskFormSkin(u"TfrPreview", doSkin);
    CHECK(!doSkin);
}

WT_TEST(SkinImage, FrameworkBitmapsMirrorFlipAndTurn) {
    forms::TBitmap b(5, 3, forms::TPixelFormat::pf24bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) b.Canvas().SetPixel(x, y, static_cast<forms::TColor>(RGB(x * 40, y * 80, 7)));
    const forms::TColor topRight = b.Canvas().Pixel(4, 0);
    skin::RotateBitmapLeft(b);
    CHECK_EQ(b.Width(), 3);
    CHECK_EQ(b.Height(), 5);
    CHECK_EQ(b.Canvas().Pixel(0, 0), topRight);
    skin::RotateBitmapRight(b);
    skin::MirrorBitmap(b);
    CHECK_EQ(b.Canvas().Pixel(0, 0), topRight);
    skin::FlipBitmap(b);
    CHECK_EQ(b.Canvas().Pixel(0, 2), topRight);
}
