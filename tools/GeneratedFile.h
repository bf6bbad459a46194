// What the resource generators share: little-endian fields, as the BMP and
// WAV headers store them, and the one command-line shape, GENERATOR OUTPUT.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

inline void Put16(std::vector<uint8_t>& out, unsigned value)
{
    out.push_back(value & 0xFF);
    out.push_back(value >> 8 & 0xFF);
}

inline void Put32(std::vector<uint8_t>& out, unsigned value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Writes the built file to the path given as the only argument; the exit
// code is the generator's: 2 for a wrong command line, 1 for a failed
// write, which also leaves no doubt in a remake that stopped half-way.
inline int WriteGeneratedFile(int argc, char** argv, const char* outputName,
                              const std::vector<uint8_t>& bytes)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s %s\n", argv[0], outputName);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::perror(argv[1]);
        if (file)
            std::fclose(file);
        return 1;
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
