#include "skin/SkinData.h"

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "skin/SkinArchive.h"
#include "skin/SkinImage.h"

namespace skin {

namespace {

// Class names of other makers' controls and the kind of skinner each gets.
const char* const kSkin3rdLines[] = {
    "TTBDock=Panel", "TTBToolbar=Panel", "TImageEnMView=scrollbar", "TImageEnView=scrollbar", "TRzButton=button",
    "TRzCheckGroup=CheckGroup", "TRzRadioGroup=Radiogroup", "TRzRadioButton=Radiobutton", "TRzCheckBox=Checkbox",
    "TRzButtonEdit=Edit", "TRzDBRadioGroup=Radiogroup", "TRzDBRadioButton=Radiobutton", "TRzDBCheckBox=Checkbox",
    "TDBCheckboxEh=Checkbox", "TDBCheckboxEh=Checkbox", "TLMDCHECKBOX=Checkbox", "TLMDDBCHECKBOX=Checkbox",
    "TLMDRadiobutton=Radiobutton", "TLMDGROUPBOX=Panel", "TLMDSIMPLEPANEL=Panel", "TLMDDBCalendar=Panel",
    "TLMDButtonPanel=Panel", "TLMDLMDCalculator=Panel", "TLMDHeaderPanel=Panel", "TLMDTechnicalLine=Panel",
    "TLMDLMDClock=Panel", "TLMDTrackbar=trackbar", "TLMDListCombobox=combobox", "TLMDCheckListCombobox=combobox",
    "TLMDHeaderListCombobox=combobox", "TLMDImageCombobox=combobox", "TLMDColorCombobox=combobox",
    "TLMDFontCombobox=combobox", "TLMDFontSizeCombobox=combobox", "TLMDFontSizeCombobox=combobox",
    "TLMDPrinterCombobox=combobox", "TLMDDriveCombobox=combobox", "TLMDCalculatorComboBox=combobox",
    "TLMDTrackBarComboBox=combobox", "TLMDCalendarComboBox=combobox", "TLMDRADIOGROUP=radiogroup",
    "TLMDCheckGroup=CheckGroup", "TLMDDBRADIOGROUP=radiogroup", "TLMDDBCheckGroup=CheckGroup", "TLMDEDIT=Edit",
    "TLMDMASKEDIT=Edit", "TLMDBROWSEEDIT=Edit", "TLMDEXTSPINEDIT=Edit", "TLMDCALENDAREDIT=Edit",
    "TLMDFILEOPENEDIT=Edit", "TLMDFILESAVEEDIT=Edit", "TLMDCOLOREDIT=Edit", "TLMDDBEDIT=Edit",
    "TLMDDBMASKEDIT=Edit", "TLMDDBEXTSPINEDIT=Edit", "TLMDDBSPINEDIT=Edit", "TLMDDBEDITDBLookup=Edit",
    "TLMDEDITDBLookup=Edit", "TDBLookupCombobox=Combobox", "TWWDBCombobox=Combobox", "TWWDBLookupCombo=Combobox",
    "TWWDBCombobox=Combobox", "TWWKeyCombo=Combobox", "TWWTempKeyCombo=combobox", "TWWDBDateTimePicker=Combobox",
    "TWWRADIOGROUP=radiogroup", "TDXDBPICKEDIT=Combobox", "TDXDBCALCEDIT=Combobox", "TDXDBIMAGEEDIT=Combobox",
    "TDXDBPOPUPEDIT=Combobox", "TDXDBEXTLOOKUPEDIT=Combobox", "TDXDBLOOKUPEDIT=Combobox", "TDXDBDATEEDIT=Combobox",
    "TDXDATEEDIT=Combobox", "TDXPICKEDIT=Combobox", "TDXPOPUPEDIT=Combobox", "TDXDBCURRENCYEDIT=Edit",
    "TDXDBEDIT=Edit", "TDXDBMASKEDIT=Edit", "TDXDBHYPERLINKEDIT=Edit", "TDXEDIT=Edit", "TDXMASKEDIT=Edit",
    "TWWDBEDIT=Edit", "TDXBUTTONEDIT=Edit", "TDXCURRENCYEDIT=Edit", "TDXHYPERLINKEDIT=Edit",
    "TOVCPICTUREFIELD=Edit", "TOVCDBPICTUREFIELD=Edit", "TOVCSLIDEREDIT=Edit", "TOVCDBSLIDEREDIT=Edit",
    "TOVCSIMPLEFIELD=Edit", "TOVCDBSIMPLEFIELD=Edit", "TO32DBFLEXEDIT=Edit", "TOVCNUMERICFIELD=Edit",
    "TOVCDBNUMERICFIELD=Edit",
};

COLORREF Resolve(SkinColour c) {
    return (c & kSystemColour) ? GetSysColor(static_cast<int>(c & 0xFF)) : static_cast<COLORREF>(c);
}

// The whole file, or false when it cannot be read or is too large to be
// a skin.
bool ReadSkinFile(const String& path, std::vector<uint8_t>& bytes) {
    const com::KernelHandle file(CreateFileW(com::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > TSkinData::kMaxFileSize) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

bool FileExists(const String& path) {
    const DWORD a = GetFileAttributesW(com::W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TSkinData::TSkinData(forms::TComponent* owner)
    : forms::TComponent(owner), m_elements(std::make_unique<SkinElements>()) {
    for (const char* line : kSkin3rdLines) m_skin3rd.Add(forms::Utf8ToText(line));
    m_menuImages = new forms::TImageList(this);
    m_menuImages->SetName(u"MenuImages");
    try {
        m_menuImages->AddResource(GetModuleHandleW(nullptr), u"PELIMORMENU", forms::clWhite);
    } catch (...) {
        // A module without the glyphs: the system menu goes without them.
    }
}

TSkinData::~TSkinData() {
    if (ISkinManager* manager = SkinManager()) manager->Unregister(this);
    if (m_faceBrush) DeleteObject(m_faceBrush);
}

ISkinManager& TSkinData::Manager() {
    if (!SkinManager()) Loaded();
    return CreateSkinManager();
}

bool TSkinData::LoadFrom(const uint8_t* data, size_t size) {
    TSkinReader reader;
    if (!reader.LoadFromBytes(data, size)) {
        if (reader.LastResult() == SkinLoadResult::OldVersion && forms::Application)
            forms::Application->MessageBox(kOldSkinMessage, forms::Application->Title(), MB_OK);
        return false;
    }
    forms::TMemoryStream ini;
    std::string iniName;
    reader.FindEntry(".ini", ini, iniName);
    // A skin is its description: an archive without one is no skin. It is
    // parsed from memory, never written out under a name from the file.
    if (iniName.empty()) return false;
    auto fresh = std::make_unique<SkinElements>();
    ParseSkinDescription(std::string(ini.Bytes().begin(), ini.Bytes().end()), reader, *fresh);
    m_pictures.clear();
    m_elements = std::move(fresh);
    ++m_generation;
    if (m_faceBrush) DeleteObject(m_faceBrush);
    m_faceBrush = CreateSolidBrush(Resolve(m_elements->ButtonFaceColour));
    m_noSkinLoaded = false;
    return true;
}

bool TSkinData::LoadSkin() {
    m_noSkinLoaded = true;
    return LoadFrom(m_skinBytes.Memory(), static_cast<size_t>(m_skinBytes.Size()));
}

void TSkinData::SetSkinFile(const String& path) {
    if (!FileExists(path)) {
        // Only the path is kept; activation waits for a skin that loads.
        m_noSkinLoaded = true;
        m_skinFile = path;
        return;
    }
    // The new skin is decoded and parsed before anything of the old one is
    // given up: an unusable file changes nothing and asks for nothing.
    std::vector<uint8_t> bytes;
    if (!ReadSkinFile(path, bytes) || !LoadFrom(bytes.data(), bytes.size())) return;
    m_skinFile = path;
    m_skinBytes.Clear();
    if (!bytes.empty()) m_skinBytes.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    m_skinBytes.SetPosition(0);
    if (ComponentState() & forms::csLoading) return;
    ISkinManager& manager = Manager();
    manager.SetCurrentSkinData(this);
    manager.PrepareNewSkin();
    manager.QueueJob(kJobReskin, kSkinJobDelay);
}

void TSkinData::SetActive(bool value) {
    if (value == m_active) return;
    m_active = value;
    if (ComponentState() & forms::csLoading) return;
    if (SkinFormtype == TSkinFormType::sfDialog) return;
    ISkinManager& manager = Manager();
    if (SkinFormtype == TSkinFormType::sfOnlyThisForm) manager.SetCurrentSkinData(this);
    if (value && m_noSkinLoaded) return;
    manager.QueueJob(value ? kJobActivate : kJobDeactivate, kSkinJobDelay);
    manager.SetCurrentSkinData(this);
}

void TSkinData::Loaded() {
    forms::TComponent::Loaded();
    ISkinManager& manager = CreateSkinManager();
    manager.Register(this);
    if (SkinFormtype == TSkinFormType::sfMainform) {
        manager.InstallHook();
        if (m_active) {
            if (m_noSkinLoaded) m_active = false;
            else manager.QueueJob(kJobActivate, kSkinJobDelay);
        }
        return;
    }
    manager.NoteActivation();
    if (auto* form = dynamic_cast<forms::TCustomForm*>(Owner())) manager.AttachFormSkinner(form);
}

forms::TBitmap* TSkinData::Picture(const SkinPixels& pixels) {
    if (pixels.Empty()) return nullptr;
    auto& slot = m_pictures[&pixels];
    if (!slot) {
        slot = std::make_unique<forms::TBitmap>();
        AssignPixels(*slot, pixels);
    }
    return slot.get();
}

void TSkinData::AskFormSkin(const String& aName, bool& doSkin) {
    if (OnFormSkin) {
        OnFormSkin(this, aName, doSkin);
        return;
    }
    if (aName == u"SysMonthCal32" ||
        ((SkinControls & SkinControlBit(xcFastReport)) && aName.compare(0, 3, u"Tfr") == 0))
        doSkin = false;
}

void TSkinData::DoSkinChanged() {
    if (OnSkinChanged) OnSkinChanged(this);
}

void TSkinData::ReadSkinStream(forms::TStream& stream) {
    int32_t n = 0;
    if (stream.Read(&n, 4) != 4 || n <= 0) return;
    // A count beyond what the stream holds is no skin.
    if (n > stream.Size() - stream.Position()) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    stream.ReadBuffer(bytes.data(), n);
    m_skinBytes.Clear();
    m_skinBytes.WriteBuffer(bytes.data(), n);
    m_skinBytes.SetPosition(0);
    LoadSkin();
}

void TSkinData::WriteSkinStream(forms::TStream& stream) const {
    const int32_t n = static_cast<int32_t>(m_skinBytes.Bytes().size());
    stream.WriteBuffer(&n, 4);
    if (n > 0) stream.WriteBuffer(m_skinBytes.Memory(), n);
}

}  // namespace skin
