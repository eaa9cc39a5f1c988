// The filter kit's names for the framework's media type owner and helpers.
#pragma once

#include "framework/com/MediaType.h"

namespace dshow {

using com::DeleteMediaType;
using com::FreeMediaType;
using com::MatchesPattern;
using com::MediaType;

}  // namespace dshow
