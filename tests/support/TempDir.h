// A temporary directory removed with everything in it at the end of a test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace lyrebox::test {

class TempDir {
public:
    // Throws when no directory can be made: an empty root would put the
    // test's files under "/".
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "lyrebox-test-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file (creating parent folders) and returns its path.
    std::string write(const std::string& name, const std::string& content = {}) const {
        std::filesystem::path p = file(name);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }

    // A file of size bytes whose byte i is (i * 7 + 3) % 251 (see pattern).
    std::string writePattern(const std::string& name, std::size_t size) const {
        return write(name, pattern(0, size));
    }

    // Makes a folder (and its parents) and returns its path.
    std::string folder(const std::string& name) const {
        const std::string full = file(name);
        std::filesystem::create_directories(full);
        return full;
    }

    // Bytes first..first+count of writePattern's files, so any slice is recognisable.
    static std::string pattern(std::size_t first, std::size_t count) {
        std::string out;
        for (std::size_t i = first; i < first + count; ++i) out.push_back(static_cast<char>((i * 7 + 3) % 251));
        return out;
    }

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};

}  // namespace lyrebox::test
