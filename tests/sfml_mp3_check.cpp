// Hands SFML's MP3 reader, past the engine's own check, files that start like MP3 and hold
// no frame that decodes (the start of a real file, an ID3 tag alone). Unpatched, SFML 3.1
// frees the reader's buffer twice on them and the C library aborts the program.
//   sfml_mp3_check FILE.mp3    exit 0: each refused cleanly
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <SFML/Audio/SoundBuffer.hpp>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: sfml_mp3_check FILE.mp3\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (whole.size() < 1000) {
        std::fprintf(stderr, "sfml_mp3_check: '%s' is no MP3 file of some length\n", argv[1]);
        return 2;
    }
    const char tagAlone[] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<std::vector<char>> damaged = {{whole.begin(), whole.begin() + 10},
                                                    {whole.begin(), whole.begin() + 100},
                                                    {tagAlone, tagAlone + sizeof tagAlone}};
    for (const std::vector<char>& bytes : damaged) {
        for (int round = 0; round < 50; ++round) { // a heap may take one double free quietly, rarely fifty
            sf::SoundBuffer buffer;
            if (buffer.loadFromMemory(bytes.data(), bytes.size())) {
                std::fprintf(stderr, "sfml_mp3_check: SFML decoded %zu damaged bytes\n", bytes.size());
                return 1;
            }
        }
    }
    std::puts("sfml_mp3_check: SFML refuses each damaged MP3 cleanly");
    return 0;
}
