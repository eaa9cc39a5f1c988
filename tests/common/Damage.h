// Damage done to good files, the same way for native and winelib tests.
#pragma once

#include <cstdint>
#include <string>

namespace damage {

std::string ReadFile(const std::string& path);
// Writes the bytes and returns the path.
std::string WriteFile(const std::string& path, const std::string& bytes);

// One bit in a hundred (percent) flipped at places a seeded generator picks.
std::string FlipBits(std::string bytes, unsigned seed, unsigned percent = 1);
// An AVI whose main header and stream headers claim the given frame count.
std::string ClaimFrames(std::string avi, uint32_t frames);
// A Windows Media file cut after its header object and the data object's
// own header: every header, no packet.
std::string HeadersOnly(const std::string& asf);

}  // namespace damage
