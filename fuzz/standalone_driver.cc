// A main for the fuzz target without libFuzzer: feeds each file named on the
// command line (or each file of a named folder) to LLVMFuzzerTestOneInput
// once. Built with the ordinary compiler, it keeps the target compiling and
// replays earlier findings; the coverage-guided run is scripts/fuzz.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int run_file(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::string data((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0;
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
        for (const auto& file : files) {
            failures += run_file(file);
            ++inputs;
        }
    }
    std::printf("fuzz target: %d inputs run\n", inputs);
    return failures == 0 ? 0 : 1;
}
