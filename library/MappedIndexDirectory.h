// A read-only CLucene directory whose index files are read through memory
// maps, for searchers.
//
// CLucene's own file directory reads through a 1 KB buffer per open file, so
// nearly every stored-field look-up and posting list of a search costs an
// lseek and a read; at a million files that is thousands of system calls per
// search. Here each segment file is mapped once when the reader opens it and
// every clone reads the same pages.
//
// A mapped file must never shrink under its readers (a read past the new end
// raises SIGBUS), so only files that are written once are mapped: the
// segment files ("_N.*"), which a pass writes into a generation it has first
// emptied (see runIndexPass), so a file still mapped by an older searcher is
// never rewritten in place, only unlinked. The "segments*" files, which
// CLucene rewrites in place, are read into memory instead. Where a map is
// refused, a file is read as needed with pread.
//
// Writing, renaming and deleting throw CL_ERR_UnsupportedOperation: a
// searcher never does them.
#pragma once

#include <CLucene.h>

#include <string>
#include <vector>

namespace lyrebox {

class MappedIndexDirectory : public lucene::store::Directory {
public:
    // Without mapFiles (and wherever the file system refuses a map), segment
    // files are read through a small buffer instead.
    explicit MappedIndexDirectory(std::string path, bool mapFiles = true);
    ~MappedIndexDirectory() override;
    MappedIndexDirectory(const MappedIndexDirectory&) = delete;
    MappedIndexDirectory& operator=(const MappedIndexDirectory&) = delete;

    using lucene::store::Directory::list;
    using lucene::store::Directory::openInput;

    bool list(std::vector<std::string>* names) const override;
    bool fileExists(const char* name) const override;
    int64_t fileModified(const char* name) const override;
    int64_t fileLength(const char* name) const override;
    bool openInput(const char* name, lucene::store::IndexInput*& ret, CLuceneError& error,
                   int32_t bufferSize = -1) override;
    void touchFile(const char* name) override;
    void renameFile(const char* from, const char* to) override;
    lucene::store::IndexOutput* createOutput(const char* name) override;
    void close() override {}
    std::string toString() const override;
    const char* getObjectName() const override { return "MappedIndexDirectory"; }

    // Whether a file of this name is mapped rather than read into memory.
    static bool mapsFile(const char* name);

protected:
    bool doDeleteFile(const char* name) override;

private:
    std::string pathOf(const char* name) const;

    std::string path_;
    bool mapFiles_;
};

}  // namespace lyrebox
