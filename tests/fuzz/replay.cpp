// Runs a fuzz target over files and directories of inputs, one input at a time as libFuzzer
// does: the corpus replay of every test build, with the project's own compiler.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz.h"

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);

    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::is_directory(argv[i])) {
            inputs.push_back(argv[i]);
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(argv[i]))
            if (entry.is_regular_file())
                inputs.push_back(entry.path().string());
    }
    std::sort(inputs.begin(), inputs.end());

    for (const std::string &path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        fuzz::current_input = path.c_str();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    }
    printf("%zu inputs replayed\n", inputs.size());
    // An empty or missing corpus proves nothing.
    return inputs.empty() ? 1 : 0;
}
