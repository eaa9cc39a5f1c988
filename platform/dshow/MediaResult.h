// The media core's errors as HRESULTs: the one mapping, and a guard for
// COM methods and thread bodies that call into the core.
#pragma once

#include <windows.h>

#include <new>

#include "platform/core/MediaError.h"

namespace dshow {

HRESULT ResultOf(const media::MediaError& e);

// Runs body; a MediaError becomes its HRESULT, nothing else escapes.
template <class F>
HRESULT MediaGuard(F&& body) noexcept {
    try {
        return body();
    } catch (const media::MediaError& e) {
        return ResultOf(e);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace dshow
