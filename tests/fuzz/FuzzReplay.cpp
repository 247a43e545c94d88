// Runs a fuzz target once over every file of the corpus directories (or the
// files) named on the command line, in name order. A failed check aborts, so a
// non-zero exit names the input that failed.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file()) inputs.push_back(entry.path());
            }
        } else if (std::filesystem::is_regular_file(arg)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "empty corpus\n");
        return 2;
    }
    for (const auto& path : inputs) {
        std::fprintf(stderr, "input %s\n", path.filename().c_str());
        const std::vector<std::uint8_t> bytes = readAll(path);
        // A copy of exactly the input's size, so a read past its end is caught.
        std::vector<std::uint8_t> exact(bytes);
        LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    }
    std::printf("replayed %zu inputs, all checks held\n", inputs.size());
    return 0;
}
