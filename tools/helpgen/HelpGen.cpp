// helpgen SOURCE TITLE OUTPUT: the help file of a help source text.
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "tools/helpgen/HelpFile.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: helpgen SOURCE TITLE OUTPUT\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        std::stringstream text;
        text << in.rdbuf();
        const std::string file = helpfile::Build(argv[2], helpfile::ParseSource(text.str()));
        std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[3]);
    } catch (const std::exception& e) {
        std::cerr << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
