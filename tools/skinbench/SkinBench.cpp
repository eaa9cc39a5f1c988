// Times the skin archive path: decoding and parsing the built-in default
// skin (limit 20 ms), and raw LZHUF decoding speed (at least 10 MB/s of
// output), raced against lha, whose "-lh1-" method is the same coding, on
// the same stream in the same run, alternating. lha runs as a process that
// writes to a pipe; its start is measured on an empty member and taken
// off. Not a test: tools/skinbench/run.sh runs it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "skin/Lzh.h"
#include "skin/SkinArchive.h"
#include "skin/SkinDescription.h"
#include "tools/skinkit/DefaultSkin.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double DecodeOnce(const std::vector<uint8_t>& stream, size_t size, std::vector<uint8_t>& out) {
    auto d = std::make_unique<skin::LzhDecoder>();
    const auto t = Clock::now();
    d->Init(static_cast<int64_t>(size));
    size_t in = stream.size(), room = out.size();
    d->Decode(stream.data(), &in, out.data(), &room, true);
    return Since(t);
}

double LhaOnce(const std::string& archive) {
    const std::string cmd = "lha pq " + archive + " > /dev/null";
    const auto t = Clock::now();
    if (std::system(cmd.c_str()) != 0) return -1;
    return Since(t);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace

int main() {
    bool ok = true;
    // 1. The default skin: decode and parse, as the skin component does.
    const auto archive = skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::DefaultPalette()));
    std::vector<double> loads;
    for (int i = 0; i < 50; ++i) {
        const auto t = Clock::now();
        skin::TSkinReader reader;
        forms::TMemoryStream ini;
        std::string name;
        if (!reader.LoadFromBytes(archive.data(), archive.size())) return 1;
        reader.FindEntry(".ini", ini, name);
        skin::SkinElements e;
        skin::ParseSkinDescription(std::string(ini.Bytes().begin(), ini.Bytes().end()), reader, e);
        loads.push_back(Since(t));
    }
    const double load = Median(loads) * 1000;
    std::printf("default skin: %zu bytes archived, decode + parse %.2f ms (limit 20 ms)\n", archive.size(), load);
    ok = ok && load < 20;

    // 2. Raw decoding: skin entries and text repeated to 16 MiB.
    std::vector<uint8_t> data;
    const auto entries = skinkit::BuildSkinEntries(skinkit::ShippedPalette("slate"));
    while (data.size() < (16u << 20))
        for (const auto& e : entries) data.insert(data.end(), e.bytes.begin(), e.bytes.end());
    data.resize(16u << 20);
    const auto stream = skinkit::LzhEncode(data);
    std::vector<uint8_t> out(data.size() + 64);

    char dir[] = "/tmp/skinbenchXXXXXX";
    const bool haveLha = mkdtemp(dir) && std::system("command -v lha > /dev/null 2>&1") == 0;
    const std::string lzh = std::string(dir) + "/big.lzh", empty = std::string(dir) + "/empty.lzh";
    if (haveLha) {
        WriteFile(lzh, skinkit::WrapAsLhaArchive("big.bin", data, stream));
        WriteFile(empty, skinkit::WrapAsLhaArchive("empty.bin", {}, {}));
    }
    std::vector<double> ours, theirs, starts;
    for (int round = 0; round < 5; ++round) {
        ours.push_back(DecodeOnce(stream, data.size(), out));
        if (haveLha) {
            theirs.push_back(LhaOnce(lzh));
            starts.push_back(LhaOnce(empty));
        }
    }
    if (!std::equal(data.begin(), data.end(), out.begin())) {
        std::printf("decoded bytes differ\n");
        return 1;
    }
    const double mb = data.size() / 1e6;
    const double ourRate = mb / Median(ours);
    std::printf("LZHUF decoding: %.1f MB of output in %.3f s: %.1f MB/s (limit 10 MB/s)\n", mb, Median(ours), ourRate);
    ok = ok && ourRate >= 10;
    if (haveLha) {
        const double lhaTime = Median(theirs) - Median(starts);
        std::printf("lha -lh1- on the same stream: %.3f s (process start %.3f s taken off): %.1f MB/s\n", lhaTime,
                    Median(starts), mb / lhaTime);
        std::printf("ratio (our time / lha's): %.2f\n", Median(ours) / lhaTime);
        std::remove(lzh.c_str());
        std::remove(empty.c_str());
    } else {
        std::printf("lha not installed: no comparison\n");
    }
    rmdir(dir);
    std::printf(ok ? "within limits\n" : "OVER A LIMIT\n");
    return ok ? 0 : 1;
}
