#include "tests/common/Damage.h"

#include <fstream>
#include <iterator>
#include <random>

namespace damage {

namespace {

void Put32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

}  // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

std::string FlipBits(std::string bytes, unsigned seed, unsigned percent) {
    if (bytes.empty()) return bytes;
    std::mt19937 random(seed);
    for (size_t n = 0; n < bytes.size() * 8 * percent / 100; ++n) {
        const size_t at = random() % bytes.size();
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
    }
    return bytes;
}

std::string ClaimFrames(std::string avi, uint32_t frames) {
    const size_t avih = avi.find("avih");
    if (avih != std::string::npos && avih + 28 <= avi.size()) Put32(avi, avih + 8 + 16, frames);  // dwTotalFrames
    for (size_t at = avi.find("strh"); at != std::string::npos && at + 44 <= avi.size(); at = avi.find("strh", at + 4))
        Put32(avi, at + 8 + 32, frames);  // dwLength
    return avi;
}

std::string HeadersOnly(const std::string& asf) {
    // The header object's size follows its 16-byte GUID; the data object's
    // header is 50 bytes.
    if (asf.size() < 24) return asf;
    uint64_t header = 0;
    for (int i = 7; i >= 0; --i) header = header << 8 | static_cast<uint8_t>(asf[16 + i]);
    return asf.substr(0, static_cast<size_t>(header) + 50);
}

}  // namespace damage
