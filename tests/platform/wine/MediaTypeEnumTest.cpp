// The media-type enumerator the pins hand out: every Next gives the caller
// a copy of its own, so that freeing or scribbling over it leaves the
// enumerator's types and later copies intact; Skip, Reset and Clone move
// through the same snapshot, and the references go back to one.
#include <windows.h>
#include <dshow.h>

#include <cstring>

#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "platform/dshow/Pins.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;

namespace {

// A type with a format block, so that a shallow copy would share it.
dshow::MediaType OfWidth(LONG width) { return com::Rgb32VideoType(width, 16); }

LONG WidthOf(const AM_MEDIA_TYPE* mt) {
    if (!mt || !mt->pbFormat || mt->cbFormat < sizeof(VIDEOINFOHEADER)) return -1;
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader.biWidth;
}

}  // namespace

WT_TEST(MediaTypeEnum, EveryNextHandsOutACopyOfItsOwn) {
    ComPtr<IEnumMediaTypes> types;
    REQUIRE_HR(dshow::CreateMediaTypeEnum({OfWidth(320), OfWidth(640)}, types.Put()));
    AM_MEDIA_TYPE* first = nullptr;
    CHECK_HR(types->Next(1, &first, nullptr));
    REQUIRE(WidthOf(first) == 320);
    CHECK_HR(types->Reset());
    AM_MEDIA_TYPE* again = nullptr;
    CHECK_HR(types->Next(1, &again, nullptr));
    REQUIRE(WidthOf(again) == 320);
    CHECK(again != first && again->pbFormat != first->pbFormat);

    // The caller may do as it likes with its copy.
    std::memset(first->pbFormat, 0xcd, first->cbFormat);
    com::DeleteMediaType(first);
    CHECK_EQ(WidthOf(again), 320);
    com::DeleteMediaType(again);
    CHECK_HR(types->Reset());
    AM_MEDIA_TYPE* third = nullptr;
    CHECK_HR(types->Next(1, &third, nullptr));
    CHECK_EQ(WidthOf(third), 320);
    com::DeleteMediaType(third);
    CHECK_EQ(wt::RefCountOf(types.Get()), 1u);
}

WT_TEST(MediaTypeEnum, SkipResetAndCloneKeepTheirPlace) {
    ComPtr<IEnumMediaTypes> types;
    REQUIRE_HR(dshow::CreateMediaTypeEnum({OfWidth(160), OfWidth(320), OfWidth(640)}, types.Put()));
    CHECK_HR(types->Skip(1));
    ComPtr<IEnumMediaTypes> clone;
    CHECK_HR(types->Clone(clone.Put()));
    REQUIRE(clone);

    // The clone starts where the original stood: three asked for, two left.
    AM_MEDIA_TYPE* got[3] = {};
    ULONG fetched = 0;
    CHECK_HR_EQ(clone->Next(3, got, &fetched), S_FALSE);
    CHECK_EQ(fetched, 2u);
    CHECK_EQ(WidthOf(got[0]), 320);
    CHECK_EQ(WidthOf(got[1]), 640);
    for (ULONG i = 0; i < fetched && i < 3; ++i) com::DeleteMediaType(got[i]);

    // The original did not move with its clone.
    AM_MEDIA_TYPE* next = nullptr;
    CHECK_HR(types->Next(1, &next, nullptr));
    CHECK_EQ(WidthOf(next), 320);
    com::DeleteMediaType(next);

    // Skipping past the end stops at the end; skipping exactly to it succeeds.
    CHECK_HR_EQ(types->Skip(5), S_FALSE);
    next = nullptr;
    CHECK_HR_EQ(types->Next(1, &next, nullptr), S_FALSE);
    CHECK(next == nullptr);
    CHECK_HR(types->Reset());
    CHECK_HR(types->Skip(3));
    CHECK_HR_EQ(types->Next(1, &next, &fetched), S_FALSE);
    CHECK_EQ(fetched, 0u);

    CHECK_HR_EQ(types->Next(2, got, nullptr), E_POINTER);
    CHECK_HR_EQ(types->Clone(nullptr), E_POINTER);
    CHECK_EQ(wt::RefCountOf(clone.Get()), 1u);
    CHECK_EQ(wt::RefCountOf(types.Get()), 1u);
}
