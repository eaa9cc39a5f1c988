// The filter kit's memory allocator: a fixed pool of media samples in
// memory, offered by our output pins and handed out by our input pins.
// GetBuffer waits for a free sample and a sample goes back to the pool on
// its last Release. Every wait and wake-up is a std primitive inside the
// process: a sample passes twice per picture through GetBuffer and
// Release, and Win32 events or semaphores would cost a round trip to the
// wineserver each time.
//
// Buffers are made at Commit and freed once the allocator is decommitted
// and every sample is back. A committed or busy allocator keeps its
// properties. Each sample out of the pool holds a reference on the
// allocator, so the pool outlives its last sample.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace dshow {

HRESULT CreateMemAllocator(IMemAllocator** out);

}  // namespace dshow
