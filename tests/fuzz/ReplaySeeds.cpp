// Runs a fuzz target on saved inputs without libFuzzer: each file named on the command line,
// and each file in each folder named, in name order. An input that breaks an invariant or
// crashes ends the run abnormally; its name is printed before it runs.
//   replay_settings tests/fuzz/corpus/settings

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> inputsNamed(int argc, char* argv[])
{
    std::vector<std::filesystem::path> inputs;
    for (int arg = 1; arg < argc; ++arg) {
        const std::filesystem::path named(argv[arg]);
        if (!std::filesystem::is_directory(named)) {
            inputs.push_back(named);
            continue;
        }
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(named)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        inputs.insert(inputs.end(), files.begin(), files.end());
    }
    return inputs;
}

}

int main(int argc, char* argv[])
{
    const std::vector<std::filesystem::path> inputs = inputsNamed(argc, argv);
    // A folder without inputs is a wrong path, not a passed replay.
    if (inputs.empty()) {
        std::cerr << "usage: " << argv[0] << " FILE|FOLDER...: no input found\n";
        return 2;
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const std::filesystem::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        if (!file) {
            std::cerr << input.string() << ": cannot be read\n";
            return 2;
        }
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::cerr << "replaying " << input.string() << " (" << bytes.size() << " bytes)\n";
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::cerr << inputs.size() << " inputs replayed\n";
    return 0;
}
