// An engine host that records the events an engine fires, one text per
// event: "Complete", "Error|<hr>|<text>", "Profile|<index>|<name>|<desc>",
// "Codec|<type>|<name>|<identifier>", ...
#pragma once

#include <string>
#include <vector>

#include "convctl/EngineHost.h"
#include "framework/core/Utf.h"

namespace wmvtest {

class RecordingHost final : public convctl::EngineHost {
public:
    std::vector<std::string> events;

    void Fire_AboutToRun() override { events.push_back("AboutToRun"); }
    void Fire_AVICodecListed(const std::u16string& name, const std::u16string& guid, LONG type) override {
        events.push_back("AviCodec|" + std::to_string(type) + "|" + U8(name) + "|" + U8(guid));
    }
    void Fire_Complete() override { events.push_back("Complete"); }
    void Fire_Error(LONG error, const std::u16string& message) override {
        events.push_back("Error|" + std::to_string(error) + "|" + U8(message));
    }
    void Fire_WMVProfileListed(LONG index, const std::u16string& name, const std::u16string& description) override {
        events.push_back("Profile|" + std::to_string(index) + "|" + U8(name) + "|" + U8(description));
    }
    void Fire_StateChange(LONG, const std::u16string& state) override { events.push_back("State|" + U8(state)); }
    void Fire_WMVCodecListed(LONG type, const std::u16string& name, const std::u16string& identifier) override {
        events.push_back("Codec|" + std::to_string(type) + "|" + U8(name) + "|" + U8(identifier));
    }

private:
    static std::string U8(const std::u16string& s) { return core::Utf16ToUtf8(s); }
};

}  // namespace wmvtest
