// A scratch directory tree for library tests, removed with the fixture.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace lyrebox::test {

class TempTree {
public:
    TempTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lyrebox-lib-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    }
    ~TempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    // A file of size bytes whose byte i is (i * 7 + 3) % 251, so any slice is recognisable.
    std::string file(const std::string& relative, std::size_t size = 0) const {
        const std::string full = path(relative);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * 7 + 3) % 251));
        return full;
    }
    std::string dir(const std::string& relative) const {
        const std::string full = path(relative);
        std::filesystem::create_directories(full);
        return full;
    }

    static std::string pattern(std::size_t first, std::size_t count) {
        std::string out;
        for (std::size_t i = first; i < first + count; ++i) out.push_back(static_cast<char>((i * 7 + 3) % 251));
        return out;
    }

private:
    std::string root_;
};

}  // namespace lyrebox::test
