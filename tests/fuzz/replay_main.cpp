// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Runs a fuzz target once on every file named on the command line or found below a folder named
// there, so that the seeds and every past finding are replayed without libFuzzer.
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void Replay(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> arrBytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    // libFuzzer never passes a null pointer, not even for an empty input: neither does this.
    static const std::uint8_t s_nEmpty = 0;
    LLVMFuzzerTestOneInput(
        arrBytes.empty() ? &s_nEmpty : reinterpret_cast<const std::uint8_t*>(arrBytes.data()),
        arrBytes.size());
}

} // namespace

int main(int argc, char** argv) {
    std::size_t nInputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        if (std::filesystem::is_directory(root)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                if (entry.is_regular_file()) {
                    Replay(entry.path());
                    ++nInputs;
                }
            }
        } else {
            Replay(root);
            ++nInputs;
        }
    }
    std::printf("%zu inputs replayed\n", nInputs);
    return nInputs > 0 ? 0 : 1;
}
