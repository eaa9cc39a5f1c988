// TSkinData: the component a form carries to be skinned. It holds the
// current skin archive, decodes it into the skin element records that the
// painters read, carries the options that steer skinning, and hands
// activation, deactivation and re-skinning to the skin manager.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/ImgList.h"
#include "framework/forms/Streams.h"
#include "framework/forms/Strings.h"
#include "skin/SkinDescription.h"
#include "skin/SkinManager.h"

namespace forms {
class TControl;
}

namespace skin {

using forms::String;

enum TSkinControlType {
    xcMainMenu, xcPopupMenu, xcToolbar, xcControlbar, xcCombo, xcCheckBox, xcRadioButton, xcProgress, xcScrollbar,
    xcEdit, xcButton, xcBitBtn, xcSpeedButton, xcPanel, xcGroupBox, xcStatusBar, xcTab, xcSystemMenu, xcFastReport
};
// A set of TSkinControlType: bit n stands for member n.
using TSkinControlTypes = uint32_t;
constexpr TSkinControlTypes SkinControlBit(TSkinControlType t) { return 1u << t; }
constexpr TSkinControlTypes kAllSkinControls = (1u << (xcFastReport + 1)) - 1;

enum class TSkinFormType { sfMainform, sfOnlyThisForm, sfDialog };

class TSkinData;
using TOnFormSkin = std::function<void(forms::TObject* sender, const String& aName, bool& doSkin)>;
using TOnSkinControl = std::function<void(forms::TComponent* sender, TSkinData* skinData, forms::TControl* form,
                                          forms::TControl* control, const String& controlClass,
                                          forms::TComponent*& skinnedControl)>;

class TSkinData : public forms::TComponent {
public:
    FORMS_CLASS(TSkinData)
    explicit TSkinData(forms::TComponent* owner);
    ~TSkinData() override;

    bool Active() const { return m_active; }
    void SetActive(bool value);
    int DisableTag = 99;
    TSkinControlTypes SkinControls = kAllSkinControls & ~SkinControlBit(xcFastReport);
    forms::TStrings& Skin3rd() { return m_skin3rd; }
    void SetSkin3rd(const forms::TStrings& lines) { m_skin3rd.Assign(lines); }
    const String& SkinFile() const { return m_skinFile; }
    void SetSkinFile(const String& path);
    // A design-time indicator: "(none)" whenever the program runs.
    String SkinStore() const { return u"(none)"; }
    void SetSkinStore(const String&) {}
    TSkinFormType SkinFormtype = TSkinFormType::sfMainform;
    bool MenuUpdate = true;
    TOnFormSkin OnFormSkin;
    forms::TNotifyEvent OnSkinChanged;
    TOnSkinControl OnSkinControl;

    // The stored SkinStream property: int32 byte count, then a whole
    // archive file, loaded as it is read.
    void ReadSkinStream(forms::TStream& stream);
    void WriteSkinStream(forms::TStream& stream) const;

    // Decodes SkinBytes and parses its description; false (with the
    // records as they were) when the archive is unusable.
    bool LoadSkin();
    void Loaded() override;
    void AskFormSkin(const String& aName, bool& doSkin);
    void DoSkinChanged();

    bool NoSkinLoaded() const { return m_noSkinLoaded; }
    const forms::TMemoryStream& SkinBytes() const { return m_skinBytes; }
    // The element records, colours and system buttons of the loaded skin.
    const SkinElements& Elements() const { return *m_elements; }
    SkinElements& Elements() { return *m_elements; }
    // A skin bitmap of the loaded skin as a framework bitmap, made once per
    // load; null for an empty one.
    forms::TBitmap* Picture(const SkinPixels& pixels);
    // A skin bitmap changed in place: its framework bitmap is made again.
    void PictureChanged(const SkinPixels& pixels) { m_pictures.erase(&pixels); }
    // The window icon the title bars show for windows without one.
    forms::TBitmap IconBitmap;
    // Counts the loads, so that painters know when to drop what they built.
    int Generation() const { return m_generation; }
    HBRUSH FaceBrush() const { return m_faceBrush; }
    // Glyphs of the skinned system menu (16 x 16, white is transparent).
    forms::TImageList* MenuImages() const { return m_menuImages; }
    // Read by the form skinner while it paints the non-client area.
    bool NCPaintFlag = true;

    // The largest skin file that is read at all.
    static constexpr int64_t kMaxFileSize = 64 << 20;

private:
    // Decodes and parses bytes into new records, and takes them only when
    // that worked.
    bool LoadFrom(const uint8_t* data, size_t size);
    // The manager, made (through Loaded) when there is none yet.
    ISkinManager& Manager();

    bool m_active = false;
    bool m_noSkinLoaded = true;
    String m_skinFile;
    forms::TStringList m_skin3rd;
    forms::TMemoryStream m_skinBytes;
    std::unique_ptr<SkinElements> m_elements;
    std::map<const SkinPixels*, std::unique_ptr<forms::TBitmap>> m_pictures;
    int m_generation = 0;
    HBRUSH m_faceBrush = nullptr;
    forms::TImageList* m_menuImages = nullptr;
};

}  // namespace skin
