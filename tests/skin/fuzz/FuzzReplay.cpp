// A fuzz target without libFuzzer: runs the built-in seeds and the files
// given, each with a fixed set of mutations (bit flips, cuts, repeats).
// This is the short seed run of the test suite; long runs use libFuzzer
// (tests/skin/fuzz/run.sh). With --write-seeds DIR it writes the seeds.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
std::vector<std::vector<uint8_t>> FuzzSeeds();

int main(int argc, char** argv) {
    std::vector<std::vector<uint8_t>> seeds = FuzzSeeds();
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
        for (size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(std::string(argv[2]) + "/seed" + std::to_string(i), std::ios::binary);
            out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
        }
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const int mutations = std::getenv("FUZZ_MUTATIONS") ? std::atoi(std::getenv("FUZZ_MUTATIONS")) : 300;
    std::mt19937 rng(12345);
    size_t runs = 0;
    for (const auto& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        ++runs;
        for (int m = 0; m < mutations; ++m) {
            std::vector<uint8_t> input = seed;
            const int kind = m % 4;
            if (input.empty()) input.push_back(0);
            if (kind == 0) {
                for (int k = 0; k < 1 + m % 5; ++k) input[rng() % input.size()] ^= static_cast<uint8_t>(1 << (rng() % 8));
            } else if (kind == 1) {
                input.resize(rng() % input.size());
            } else if (kind == 2) {
                const size_t at = rng() % input.size(), len = std::min<size_t>(rng() % 64, input.size() - at);
                input.insert(input.begin() + static_cast<long>(rng() % input.size()), seed.begin() + static_cast<long>(at),
                             seed.begin() + static_cast<long>(at + len));
            } else {
                input[rng() % input.size()] = static_cast<uint8_t>(rng());
                if (input.size() > 8) input[rng() % 8] = static_cast<uint8_t>(rng());
            }
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++runs;
        }
    }
    std::cout << runs << " inputs, no fault\n";
    return 0;
}
