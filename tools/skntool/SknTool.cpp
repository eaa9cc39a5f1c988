// Packs a folder into a skin archive, lists one, or extracts one.
//
//   skntool pack <folder> <file.skn>     the folder's files, the .ini first
//   skntool list <file.skn>
//   skntool extract <file.skn> <folder>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "skin/SkinArchive.h"
#include "tools/skinkit/SkinWriter.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

int Pack(const fs::path& folder, const fs::path& target) {
    std::vector<skinkit::SkinEntry> entries;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        std::string name = item.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        entries.push_back({name, ReadFile(item.path())});
    }
    // The description first, then the rest by name.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        const bool ai = a.name.find(".ini") != std::string::npos, bi = b.name.find(".ini") != std::string::npos;
        return ai != bi ? ai : a.name < b.name;
    });
    const auto archive = skinkit::WriteSkinArchive(entries);
    WriteFile(target, archive.data(), archive.size());
    std::cout << entries.size() << " entries, " << archive.size() << " bytes\n";
    return 0;
}

bool Load(const fs::path& file, skin::TSkinReader& reader) {
    const auto bytes = ReadFile(file);
    if (reader.LoadFromBytes(bytes.data(), bytes.size())) return true;
    const char* why[] = {"", "not version 20000", "damaged directory", "declared size too large"};
    std::cerr << "skntool: " << file.string() << ": " << why[static_cast<int>(reader.LastResult())] << "\n";
    return false;
}

int List(const fs::path& file) {
    skin::TSkinReader reader;
    if (!Load(file, reader)) return 1;
    for (int i = 0; i < reader.Count(); ++i) std::cout << reader.EntrySize(i) << "\t" << reader.Names()[i] << "\n";
    std::cout << reader.Count() << " entries\n";
    return 0;
}

int Extract(const fs::path& file, const fs::path& folder) {
    skin::TSkinReader reader;
    if (!Load(file, reader)) return 1;
    fs::create_directories(folder);
    int refused = 0;
    for (int i = 0; i < reader.Count(); ++i) {
        const std::string& name = reader.Names()[i];
        // Entry names come from the file: nothing that leaves the folder.
        if (name.empty() || name.find_first_of("/\\:") != std::string::npos || name == "." || name == "..") {
            std::cerr << "skntool: entry name refused: " << name << "\n";
            ++refused;
            continue;
        }
        WriteFile(folder / name, reader.EntryData(i), reader.EntrySize(i));
    }
    return refused ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "pack" && argc == 4) return Pack(argv[2], argv[3]);
        if (command == "list" && argc == 3) return List(argv[2]);
        if (command == "extract" && argc == 4) return Extract(argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "skntool: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: skntool pack <folder> <file.skn> | list <file.skn> | extract <file.skn> <folder>\n";
    return 2;
}
