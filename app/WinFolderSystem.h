// The folder search's view of the real file system: FindFirstFile listings
// and folder identities from the volume serial number and file index.
#pragma once

#include "app/FolderSearch.h"

namespace app {

class WinFolderSystem final : public IFolderSystem {
public:
    std::unique_ptr<IFolderListing> List(const String& folder) override;
    std::string Identity(const String& folder) override;
};

}  // namespace app
