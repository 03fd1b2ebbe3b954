#include "library/MappedIndexDirectory.h"

#include "library/FileHandle.h"

#include <CLucene/store/LockFactory.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace lyrebox {

namespace {

using lucene::store::IndexInput;

// The bytes of one index file: a read-only map, or a copy in memory.
class FileBytes {
public:
    FileBytes(const void* map, std::size_t size) : map_(map), data_(static_cast<const std::uint8_t*>(map)), size_(size) {}
    explicit FileBytes(std::vector<std::uint8_t> copy)
        : copy_(std::move(copy)), data_(copy_.data()), size_(copy_.size()) {}
    ~FileBytes() {
        if (map_ != nullptr) ::munmap(const_cast<void*>(map_), size_);
    }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::int64_t size() const { return static_cast<std::int64_t>(size_); }

private:
    const void* map_ = nullptr;
    std::vector<std::uint8_t> copy_;
    const std::uint8_t* data_;
    std::size_t size_;
};

[[noreturn]] void readPastEnd() { _CLTHROWA(CL_ERR_IO, "read past the end of an index file"); }

// Reads one file's bytes; clones share them and each keeps its own position.
// Every read is checked against the file's length, so a damaged index gives
// CLucene's error, never a read outside the bytes.
class MappedInput final : public IndexInput {
public:
    explicit MappedInput(std::shared_ptr<const FileBytes> bytes)
        : bytes_(std::move(bytes)), data_(bytes_->data()), size_(bytes_->size()) {}
    MappedInput(const MappedInput& other)
        : IndexInput(other), bytes_(other.bytes_), data_(other.data_), size_(other.size_), position_(other.position_) {}

    IndexInput* clone() const override { return new MappedInput(*this); }  // CLucene owns its clones

    std::uint8_t readByte() override {
        if (position_ >= size_) readPastEnd();
        return data_[position_++];
    }
    void readBytes(std::uint8_t* into, const std::int32_t length) override {
        if (length < 0 || position_ > size_ || size_ - position_ < length) readPastEnd();
        std::memcpy(into, data_ + position_, static_cast<std::size_t>(length));
        position_ += length;
    }
    void readBytes(std::uint8_t* into, const std::int32_t length, bool /*useBuffer*/) override {
        readBytes(into, length);
    }
    // Posting lists are runs of these: decoded straight from the bytes, with
    // one bound check when a whole number (at most five bytes) fits.
    std::int32_t readVInt() override {
        if (position_ < 0 || size_ - position_ < 5) return readVIntNearTheEnd();
        const std::uint8_t* at = data_ + position_;
        std::uint32_t b = *at++;
        std::uint32_t value = b & 0x7F;
        for (int shift = 7; (b & 0x80) != 0; shift += 7) {
            if (shift > 28) tooLong();
            b = *at++;
            value |= (b & 0x7F) << shift;
        }
        position_ = at - data_;
        return static_cast<std::int32_t>(value);
    }
    void close() override {}
    std::int64_t getFilePointer() const override { return position_; }
    void seek(const std::int64_t position) override {
        if (position < 0) _CLTHROWA(CL_ERR_IO, "seek before the start of an index file");
        position_ = position;  // past the end is an error at the next read
    }
    std::int64_t length() const override { return size_; }
    const char* getDirectoryType() const override { return "MappedIndexDirectory"; }
    const char* getObjectName() const override { return "MappedInput"; }

private:
    [[noreturn]] static void tooLong() { _CLTHROWA(CL_ERR_IO, "a number in an index file is too long"); }
    std::int32_t readVIntNearTheEnd() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint8_t b = readByte();
            value |= static_cast<std::uint32_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0) return static_cast<std::int32_t>(value);
        }
        tooLong();
    }

    std::shared_ptr<const FileBytes> bytes_;
    const std::uint8_t* data_;
    std::int64_t size_;
    std::int64_t position_ = 0;
};

// Where a file cannot be mapped (a file system without mmap): reads through
// a small buffer with pread, clones sharing the descriptor.
class ReadInput final : public IndexInput {
public:
    ReadInput(std::shared_ptr<const FileHandle> file, std::int64_t size) : file_(std::move(file)), size_(size) {}
    ReadInput(const ReadInput& other)
        : IndexInput(other), file_(other.file_), size_(other.size_), position_(other.position_) {}

    IndexInput* clone() const override { return new ReadInput(*this); }  // CLucene owns its clones

    std::uint8_t readByte() override {
        if (position_ < start_ || position_ >= start_ + length_) fill();
        return buffer_[static_cast<std::size_t>(position_++ - start_)];
    }
    void readBytes(std::uint8_t* into, const std::int32_t length) override {
        if (length < 0 || position_ > size_ || size_ - position_ < length) readPastEnd();
        for (std::int32_t done = 0; done < length;) {
            if (position_ < start_ || position_ >= start_ + length_) fill();
            const auto at = static_cast<std::size_t>(position_ - start_);
            const auto n = std::min<std::int64_t>(length - done, length_ - (position_ - start_));
            std::memcpy(into + done, buffer_ + at, static_cast<std::size_t>(n));
            done += static_cast<std::int32_t>(n);
            position_ += n;
        }
    }
    void readBytes(std::uint8_t* into, const std::int32_t length, bool /*useBuffer*/) override {
        readBytes(into, length);
    }
    void close() override {}
    std::int64_t getFilePointer() const override { return position_; }
    void seek(const std::int64_t position) override {
        if (position < 0) _CLTHROWA(CL_ERR_IO, "seek before the start of an index file");
        position_ = position;
    }
    std::int64_t length() const override { return size_; }
    const char* getDirectoryType() const override { return "MappedIndexDirectory"; }
    const char* getObjectName() const override { return "ReadInput"; }

private:
    void fill() {
        if (position_ < 0 || position_ >= size_) readPastEnd();
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(sizeof buffer_, size_ - position_));
        ssize_t got = -1;
        do {
            got = ::pread(file_->get(), buffer_, want, static_cast<off_t>(position_));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) _CLTHROWA(CL_ERR_IO, "an index file could not be read");
        start_ = position_;
        length_ = got;
    }

    std::shared_ptr<const FileHandle> file_;
    std::int64_t size_;
    std::int64_t position_ = 0;
    std::int64_t start_ = 0;
    std::int64_t length_ = 0;
    std::uint8_t buffer_[4096];
};

std::shared_ptr<const FileBytes> readWhole(int fd, std::size_t size) {
    std::vector<std::uint8_t> copy(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, copy.data() + done, size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return nullptr;
        done += static_cast<std::size_t>(got);
    }
    return std::make_shared<const FileBytes>(std::move(copy));
}

std::shared_ptr<const FileBytes> mapWhole(int fd, std::size_t size) {
    if (size == 0) return std::make_shared<const FileBytes>(std::vector<std::uint8_t>{});
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) return nullptr;
    return std::make_shared<const FileBytes>(map, size);
}

[[noreturn]] void readOnly() { _CLTHROWA(CL_ERR_UnsupportedOperation, "the mapped index directory is read-only"); }

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

MappedIndexDirectory::MappedIndexDirectory(std::string path, bool mapFiles)
    : path_(std::move(path)), mapFiles_(mapFiles) {
    setLockFactory(new lucene::store::NoLockFactory());  // reading takes no lock
}

MappedIndexDirectory::~MappedIndexDirectory() {
    // Some CLucene versions delete the factory in ~Directory and some do not:
    // delete it here and leave none for the base.
    delete lockFactory;
    lockFactory = nullptr;
}

bool MappedIndexDirectory::mapsFile(const char* name) { return std::strncmp(name, "segments", 8) != 0; }

std::string MappedIndexDirectory::pathOf(const char* name) const { return path_ + "/" + name; }

bool MappedIndexDirectory::list(std::vector<std::string>* names) const {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path_.c_str()));
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names->emplace_back(entry->d_name);
        }
    }
    return true;
}

bool MappedIndexDirectory::fileExists(const char* name) const {
    struct stat status {};
    return ::stat(pathOf(name).c_str(), &status) == 0;
}

int64_t MappedIndexDirectory::fileModified(const char* name) const {
    struct stat status {};
    if (::stat(pathOf(name).c_str(), &status) != 0) return 0;
    return static_cast<int64_t>(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000;
}

int64_t MappedIndexDirectory::fileLength(const char* name) const {
    struct stat status {};
    if (::stat(pathOf(name).c_str(), &status) != 0) return -1;
    return static_cast<int64_t>(status.st_size);
}

bool MappedIndexDirectory::openInput(const char* name, IndexInput*& ret, CLuceneError& error, int32_t /*bufferSize*/) {
    auto fd = std::make_shared<FileHandle>(::open(pathOf(name).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!fd->valid() || ::fstat(fd->get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        error.set(CL_ERR_IO, "an index file could not be opened");
        return false;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    const bool mapped = mapsFile(name);
    auto bytes = !mapped ? readWhole(fd->get(), size) : mapFiles_ ? mapWhole(fd->get(), size) : nullptr;
    if (!bytes && mapped) {
        ret = new ReadInput(std::move(fd), static_cast<std::int64_t>(size));  // not mapped: read as needed
        return true;
    }
    if (!bytes) {
        error.set(CL_ERR_IO, "an index file could not be read");
        return false;
    }
    ret = new MappedInput(std::move(bytes));  // CLucene owns its inputs
    return true;
}

void MappedIndexDirectory::touchFile(const char* /*name*/) { readOnly(); }

void MappedIndexDirectory::renameFile(const char* /*from*/, const char* /*to*/) { readOnly(); }

lucene::store::IndexOutput* MappedIndexDirectory::createOutput(const char* /*name*/) { readOnly(); }

bool MappedIndexDirectory::doDeleteFile(const char* /*name*/) { readOnly(); }

std::string MappedIndexDirectory::toString() const { return "MappedIndexDirectory@" + path_; }

}  // namespace lyrebox
