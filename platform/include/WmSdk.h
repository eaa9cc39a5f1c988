/* Wine's wmsdkidl.h, with its GUID constants declared rather than defined.
 * Its EXTERN_GUID defines them in every C++ file that includes it, and
 * winelib objects have no selectany to merge them; the ones in use are
 * defined in PlatformGuids.c. Include this before any other header that
 * brings in wmsdkidl.h. */
#pragma once

#include <windows.h>

#pragma push_macro("EXTERN_GUID")
#undef EXTERN_GUID
#define EXTERN_GUID(name, ...) EXTERN_C const GUID name
#include <wmsdkidl.h>
#pragma pop_macro("EXTERN_GUID")
