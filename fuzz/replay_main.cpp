// Replays a committed corpus through a fuzz target without libFuzzer: every
// file in the folders (or the files) named on the command line is handed to
// LLVMFuzzerTestOneInput once. A failing property aborts, naming the input.
//   fuzz_replay_NAME FOLDER_OR_FILE ... [--if-present FOLDER_OR_FILE] ...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> inputs;
    bool optional = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--if-present") {
            optional = true;
            continue;
        }
        const fs::path arg(argv[i]);
        if (std::exchange(optional, false) && !fs::exists(arg))
            continue;
        if (fs::is_directory(arg)) {
            for (const fs::directory_entry &e : fs::directory_iterator(arg)) {
                if (e.is_regular_file())
                    inputs.push_back(e.path());
            }
        } else if (fs::is_regular_file(arg)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 2;
    }
    for (const fs::path &path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.eof() && in.fail()) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        std::fprintf(stderr, "%s\n", path.c_str());
        // A copy of its own, exactly as long as the input, so reads past its end are caught.
        std::vector<uint8_t> data(bytes.begin(), bytes.end());
        static uint8_t none = 0; // libFuzzer hands an empty input as a valid pointer too
        LLVMFuzzerTestOneInput(data.empty() ? &none : data.data(), data.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
