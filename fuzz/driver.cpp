// Runs a fuzz target (LLVMFuzzerTestOneInput) without libFuzzer: replays
// every file and folder named on the command line, then feeds mutations of
// them (and random bytes) until -max_total_time seconds or -runs inputs.
// The flags follow libFuzzer's, so scripts can drive either build alike.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {
using Bytes = std::vector<uint8_t>;

Bytes readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void mutate(Bytes& b, std::mt19937_64& rng, const std::vector<Bytes>& corpus)
{
    const int steps = 1 + int(rng() % 8);
    for (int s = 0; s < steps; ++s) {
        switch (rng() % 7) {
        case 0: // flip a bit
            if (!b.empty()) b[rng() % b.size()] ^= uint8_t(1u << (rng() % 8));
            break;
        case 1: // random byte
            if (!b.empty()) b[rng() % b.size()] = uint8_t(rng());
            break;
        case 2: // interesting value
            if (b.size() >= 4) {
                static const uint32_t vals[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
                const uint32_t v = vals[rng() % std::size(vals)];
                std::memcpy(&b[rng() % (b.size() - 3)], &v, 4);
            }
            break;
        case 3: // truncate
            if (!b.empty()) b.resize(rng() % b.size());
            break;
        case 4: // insert random bytes
        {
            const size_t at = b.empty() ? 0 : rng() % b.size();
            const size_t n = 1 + rng() % 16;
            for (size_t i = 0; i < n; ++i) b.insert(b.begin() + long(at), uint8_t(rng()));
            break;
        }
        case 5: // duplicate a slice
            if (b.size() > 2 && b.size() < (1u << 20)) {
                const size_t from = rng() % b.size();
                const size_t n = 1 + rng() % (b.size() - from);
                Bytes slice(b.begin() + long(from), b.begin() + long(from + n));
                b.insert(b.begin() + long(rng() % b.size()), slice.begin(), slice.end());
            }
            break;
        case 6: // splice with another input
            if (!corpus.empty()) {
                const Bytes& other = corpus[rng() % corpus.size()];
                if (!other.empty() && !b.empty()) {
                    const size_t cut = rng() % b.size();
                    const size_t from = rng() % other.size();
                    b.resize(cut);
                    b.insert(b.end(), other.begin() + long(from), other.end());
                }
            }
            break;
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    double maxSeconds = 10;
    long long maxRuns = -1;
    uint64_t seed = std::random_device{}();
    std::vector<Bytes> corpus;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("-max_total_time=", 0) == 0) maxSeconds = std::atof(a.c_str() + 16);
        else if (a.rfind("-runs=", 0) == 0) maxRuns = std::atoll(a.c_str() + 6);
        else if (a.rfind("-seed=", 0) == 0) seed = std::strtoull(a.c_str() + 6, nullptr, 10);
        else if (a.rfind("-", 0) == 0) continue; // other libFuzzer flags
        else if (std::filesystem::is_directory(a)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(a))
                if (e.is_regular_file()) corpus.push_back(readAll(e.path()));
        } else if (std::filesystem::exists(a)) corpus.push_back(readAll(a));
    }
    std::fprintf(stderr, "fuzz driver: %zu seed inputs, seed %llu\n", corpus.size(), (unsigned long long)seed);
    for (const Bytes& b : corpus)
        LLVMFuzzerTestOneInput(b.data(), b.size());

    std::mt19937_64 rng(seed);
    const auto start = std::chrono::steady_clock::now();
    long long runs = 0;
    while (maxRuns < 0 || runs < maxRuns) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > maxSeconds) break;
        Bytes b;
        if (corpus.empty() || rng() % 10 == 0) {
            b.resize(rng() % 4096);
            for (auto& x : b) x = uint8_t(rng());
        } else {
            b = corpus[rng() % corpus.size()];
        }
        mutate(b, rng, corpus);
        LLVMFuzzerTestOneInput(b.data(), b.size());
        ++runs;
    }
    std::fprintf(stderr, "fuzz driver: %lld runs, no crash\n", runs);
    return 0;
}
