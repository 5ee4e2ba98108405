// The fuzz targets' driver where libFuzzer is missing: the same entry point, fed with the seed
// corpus and with seeded random mutations of it, so a run is repeatable from its seed.
//   fuzz_rtu [--runs N] [--seed S] [--max-len L] DIR...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Input = std::vector<std::uint8_t>;

std::vector<Input> LoadSeeds(const std::vector<std::string>& dirs) {
    std::vector<Input> seeds;
    for (const std::string& dir : dirs) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
        if (error) {
            std::fprintf(stderr, "cannot read %s: %s\n", dir.c_str(), error.message().c_str());
        }
    }
    return seeds;
}

// Bytes the decoders treat specially, so that mutations reach their branches often.
constexpr std::uint8_t kTokens[] = {0x00, 0x01, 0x03, 0x04, 0x7F, 0x80, 0x81, 0x83, 0xFF,
                                    ':',  '\r', '\n', '0',  '9',  'A',  'F',  'a',  'G'};

void Mutate(Input& input, std::mt19937& rng, std::size_t maxLen) {
    auto pick = [&rng](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n)(rng);
    };
    const std::size_t steps = 1 + pick(7);
    for (std::size_t s = 0; s < steps; ++s) {
        switch (pick(6)) {
            case 0:  // flip a bit
                if (!input.empty()) {
                    input[pick(input.size() - 1)] ^= static_cast<std::uint8_t>(1u << pick(7));
                }
                break;
            case 1:  // any byte
                if (!input.empty()) {
                    input[pick(input.size() - 1)] = static_cast<std::uint8_t>(pick(255));
                }
                break;
            case 2:  // a telling byte
                if (!input.empty()) {
                    input[pick(input.size() - 1)] = kTokens[pick(sizeof kTokens - 1)];
                }
                break;
            case 3:  // insert
                if (input.size() < maxLen) {
                    input.insert(input.begin() + static_cast<std::ptrdiff_t>(pick(input.size())),
                                 kTokens[pick(sizeof kTokens - 1)]);
                }
                break;
            case 4:  // erase
                if (!input.empty()) {
                    input.erase(input.begin() +
                                static_cast<std::ptrdiff_t>(pick(input.size() - 1)));
                }
                break;
            case 5:  // cut short
                input.resize(pick(input.size()));
                break;
            default: {  // repeat a stretch
                if (input.empty()) {
                    break;
                }
                const std::size_t from = pick(input.size() - 1);
                const std::size_t room = input.size() < maxLen ? maxLen - input.size() : 0;
                const std::size_t n = std::min(pick(input.size() - from), room);
                const Input stretch(input.begin() + static_cast<std::ptrdiff_t>(from),
                                    input.begin() + static_cast<std::ptrdiff_t>(from + n));
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(pick(input.size())),
                             stretch.begin(), stretch.end());
                break;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long long runs = 100000;
    unsigned long seed = 1;
    std::size_t maxLen = 1100;
    std::vector<std::string> dirs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) {
            runs = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && hasValue) {
            seed = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--max-len" && hasValue) {
            maxLen = std::strtoul(argv[++i], nullptr, 10);
        } else {
            dirs.push_back(arg);
        }
    }
    const std::vector<Input> seeds = LoadSeeds(dirs);
    for (const Input& s : seeds) {
        LLVMFuzzerTestOneInput(s.data(), s.size());
    }
    std::mt19937 rng(seed);
    Input input;
    for (unsigned long long run = 0; run < runs; ++run) {
        if (seeds.empty() || run % 16 == 0) {
            input.assign(std::uniform_int_distribution<std::size_t>(0, 64)(rng), 0);
            for (std::uint8_t& b : input) {
                b = static_cast<std::uint8_t>(rng());
            }
        } else {
            input = seeds[rng() % seeds.size()];
        }
        Mutate(input, rng, maxLen);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%llu inputs (%zu seeds, random seed %lu), 0 findings\n", runs + seeds.size(),
                seeds.size(), seed);
    return 0;
}
