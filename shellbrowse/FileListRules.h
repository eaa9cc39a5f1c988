// The file list's items without windows: which directory entries it
// lists, the caption and seven sub-item texts of each, the order of its
// columns' sorts and the header clicks that choose them. No platform
// headers.
//
// Item layout (the task list's drops read it):
//   caption      file name (without its extension when asked), folder name,
//                " Parent", or a drive caption
//   sub-item 0   size text, or " " for folders and the parent; drive type
//   sub-item 1   shell type name, " " for the parent; disk size
//   sub-item 2   modified text; free space
//   sub-item 3   attribute letters; empty for a drive
//   sub-item 4   full path; folder + ".." for the parent; "X:\" for a drive
//   sub-item 5   "file", "dir" or "drv"
//   sub-item 6   date number (absent for a drive)
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/forms/SysUtils.h"

namespace shellbrowse {

using forms::String;

enum SubItem : int {
    kSubSize = 0,
    kSubType = 1,
    kSubModified = 2,
    kSubAttr = 3,
    kSubPath = 4,
    kSubKind = 5,
    kSubDate = 6,
};
extern const char16_t* const kParentCaption;  // " Parent"

// File attribute bits the list's filter and letters use.
enum : std::uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrNormal = 0x80,
};

// What a folder listing says of one entry.
struct TFindEntry {
    String name;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;  // UTC, 100-ns units since 1601
};

// Whether a listing with these filter bits (a folder pass has 0x10 in
// them) takes the entry: the folder bit must match, read-only, hidden and
// system entries only when the filter has their bit; "." never, ".." only
// with the parent entry enabled.
bool AcceptEntry(const TFindEntry& entry, std::uint32_t filterBits, bool parentDirEnabled);

// The patterns of a mask: trimmed; empty means "*.*"; split at ";" with
// each piece as written (empty pieces are left out).
std::vector<String> SplitMask(const String& mask);

struct TFileItem {
    String caption;
    int imageIndex = -1;
    std::vector<String> subItems;  // seven, in the layout above
    std::uint64_t size = 0;
};

// One folder-view item. folder ends in "\"; typeName and imageIndex are
// the shell's answers (for "..": the parent folder's icon); modifiedText
// is the last-write time already formatted in local time.
TFileItem BuildFileItem(const TFindEntry& entry, const String& folder, const String& typeName, int imageIndex,
                        const String& modifiedText, bool hideFileExt);

// Read access to an item's texts, for the comparison.
class IItemTexts {
public:
    virtual ~IItemTexts() = default;
    virtual const String& Caption() const = 0;
    // Empty beyond the item's sub-items.
    virtual String SubItem(int index) const = 0;
};

// Compares two items for the sort column: folders ("dir") before the
// rest, then by the column's key (names upper-cased by upper, sizes in
// KB, date numbers, or text ignoring case); reverse negates. The parent
// entry is never negated: in reverse it stays first, so that the order
// remains one order for any sort.
int CompareItems(const IItemTexts& a, const IItemTexts& b, int sortColumn, bool sortReverse,
                 const std::function<String(const String&)>& upper);

// The sort column and direction, changed by header clicks.
class TSortState {
public:
    int SortColumn() const { return m_column; }
    bool SortReverse() const { return m_reverse; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on) { m_enabled = on; }
    // A click on column c: the same column turns the order round, another
    // one sorts by it in reverse first. False (nothing changes) while
    // disabled.
    bool Click(int column);
    // After a refresh the list is sorted by name: reverse is set, then
    // column 0 is clicked.
    void AfterRefresh();
    enum class Arrow { None, Up, Down };
    Arrow ArrowOf(int column) const;

private:
    int m_column = 0;
    bool m_reverse = true;
    bool m_enabled = true;
};

}  // namespace shellbrowse
