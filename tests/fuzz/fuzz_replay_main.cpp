// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target without a fuzzing engine: every seed file given, then a fixed number of seeded
// mutations of them (bytes flipped, inserted, deleted, cut, numbers stretched), so the suite exercises
// the target on every build, under the sanitizers too.
//
//   fuzz_TARGET [--mutations N] SEED...     (100,000 mutations unless told)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

const char* const kTokens[] = {" ", "\n", "\r\n", "\t", "-", "+", "e", "E", ".", "0", "9", "inf", "nan",
                               "0x1p3", "1e999", "-1", "2147483648", "1000001", "999999999999"};

Bytes mutate(Bytes input, std::mt19937& random)
{
    int edits = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < edits; i++) {
        size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 5) {
        case 0:
            if (at < input.size()) input[at] = static_cast<uint8_t>(random());
            break;
        case 1:
            input.insert(input.begin() + at, static_cast<uint8_t>(random()));
            break;
        case 2:
            if (at < input.size()) input.erase(input.begin() + at);
            break;
        case 3:
            input.resize(at);
            break;
        default: {
            std::string token = kTokens[random() % std::size(kTokens)];
            input.insert(input.begin() + at, token.begin(), token.end());
        }
        }
    }
    return input;
}

Bytes readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Bytes> seeds;
    int mutations = 100000;
    for (int i = 1; i < argc; i++) {
        if (std::string(argv[i]) == "--mutations" && i + 1 < argc) {
            mutations = std::atoi(argv[++i]);
        } else {
            seeds.push_back(readFile(argv[i]));
        }
    }
    seeds.push_back(Bytes());
    std::mt19937 random(20261207);
    int runs = 0;
    for (const Bytes& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        runs++;
    }
    for (int i = 0; i < mutations; i++) {
        Bytes input = mutate(seeds[random() % seeds.size()], random);
        LLVMFuzzerTestOneInput(input.data(), input.size());
        runs++;
    }
    std::printf("%d inputs, 0 failed\n", runs);
    return 0;
}
