/* Definitions of the class identifiers declared in the platform headers.
 * Written out rather than through <initguid.h>, which would define every
 * GUID of the included system headers again (they live in libstrmiids). */
#include <windows.h>

const GUID CLSID_RenderEngine = {0x64d8a8e0, 0x80a2, 0x11d2, {0x8c, 0xf3, 0x00, 0xa0, 0xc9, 0x44, 0x1e, 0x20}};
