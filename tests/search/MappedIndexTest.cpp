// The searchers' memory-mapped index directory: what it reads, and what it
// does when the files under it change or are damaged.
#include "tests/search/SearchFixture.h"

#include "library/MappedIndexDirectory.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <utility>

namespace lyrebox::test {
namespace {

namespace fs = std::filesystem;
using lucene::index::IndexReader;
using lucene::index::Term;
using lucene::index::TermDocs;
using lucene::index::TermEnum;

struct ReaderClose {
    void operator()(IndexReader* reader) const {
        reader->close();
        delete reader;
    }
};
using ReaderPtr = std::unique_ptr<IndexReader, ReaderClose>;

class MappedIndexTest : public SearchFixture {
protected:
    // A share of count files with made-up two- and three-word names, so that
    // the term dictionary spans many blocks of the index's files.
    std::string writeShare(int count) {
        std::mt19937 random(7);
        static const char* const kParts[] = {"ka", "lo", "mi", "ra", "ven", "sol", "tor", "bel", "do", "na", "ri", "sa"};
        std::uniform_int_distribution<int> part(0, 11);
        auto word = [&] { return std::string(kParts[part(random)]) + kParts[part(random)] + kParts[part(random)]; };
        for (int i = 0; i < count; ++i) {
            tree.write("share/" + word() + "/" + std::to_string(i) + " - " + word() + " " + word() + ".mp3");
        }
        return tree.file("share");
    }
    std::string currentGeneration() {
        auto lock = IndexStore::lockOpenClose();
        return IndexStore(indexPath()).currentIndexLocked().value_or("");
    }
    static ReaderPtr openMapped(MappedIndexDirectory& directory) { return ReaderPtr(IndexReader::open(&directory)); }

    // Every term of the index with its document frequency, in order.
    static std::vector<std::pair<std::wstring, int>> allTerms(IndexReader& reader) {
        std::vector<std::pair<std::wstring, int>> terms;
        std::unique_ptr<TermEnum> walk(reader.terms());
        while (walk->next()) {
            const Term* term = walk->term(false);
            terms.emplace_back(std::wstring(term->field()) + L":" + term->text(), walk->docFreq());
        }
        walk->close();
        return terms;
    }
};

// Entering the term dictionary again after one walk over it, as the folded
// prefix searches do, gives the terms in order, each with all its postings:
// positions, clones and variable-length numbers all go through the maps.
// Both ways of reading: through maps, and through a buffer where a file
// system refuses maps.
class MappedIndexReadingTest : public MappedIndexTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MappedIndexReadingTest, TermsEnteredAfterAWalkFollowInOrderWithTheirPostings) {
    ASSERT_EQ(pass({writeShare(1500)}), PassResult::Published);
    MappedIndexDirectory directory(currentGeneration(), GetParam());
    const ReaderPtr reader = openMapped(directory);
    const auto terms = allTerms(*reader);
    ASSERT_GT(terms.size(), 1000u);
    for (std::size_t i = 0; i < terms.size(); i += 37) {
        const auto colon = terms[i].first.find(L':');
        const std::wstring field = terms[i].first.substr(0, colon);
        const std::wstring text = terms[i].first.substr(colon + 1);
        Term start(field.c_str(), text.c_str());
        std::unique_ptr<TermEnum> from(reader->terms(&start));
        std::unique_ptr<TermDocs> docs(reader->termDocs());
        for (std::size_t k = i; k < std::min(terms.size(), i + 3); ++k) {
            const Term* term = from->term(false);
            ASSERT_NE(term, nullptr);
            EXPECT_EQ(std::wstring(term->field()) + L":" + term->text(), terms[k].first);
            EXPECT_EQ(from->docFreq(), terms[k].second);
            docs->seek(from.get());
            int read = 0;
            while (docs->next()) ++read;
            EXPECT_EQ(read, terms[k].second) << "postings of term " << k;
            if (!from->next()) break;
        }
        docs->close();
        from->close();
    }
    // Stored fields too, every document, in order and at random.
    for (int32_t doc = 0; doc < reader->maxDoc(); doc += doc % 2 == 0 ? 1 : 7) {
        lucene::document::Document document;
        ASSERT_TRUE(reader->document(doc, document));
        EXPECT_EQ(storedPath(document).rfind(tree.file("share"), 0), 0u) << doc;
    }
}

// A pass empties the generation it writes, so a searcher still reading
// the files of that generation from two passes ago keeps its own pages.
TEST_F(MappedIndexTest, AnOlderReaderKeepsItsAnswersWhileLaterPassesRewriteItsGeneration) {
    tree.write("share/First Song.mp3");
    ASSERT_EQ(pass({tree.file("share")}), PassResult::Published);
    const std::string first = currentGeneration();
    MappedIndexDirectory directory(first);
    const ReaderPtr reader = openMapped(directory);
    const auto before = allTerms(*reader);

    fs::remove(tree.file("share/First Song.mp3"));
    tree.write("share/Second Song.mp3");
    writeShare(500);
    ASSERT_EQ(pass({tree.file("share")}), PassResult::Published);
    ASSERT_EQ(pass({tree.file("share")}), PassResult::Published);
    ASSERT_EQ(currentGeneration(), first);  // the same directory, written anew

    EXPECT_EQ(allTerms(*reader), before);
    lucene::document::Document document;
    ASSERT_TRUE(reader->document(0, document));
    EXPECT_EQ(storedPath(document), tree.file("share/First Song.mp3"));
    EXPECT_TRUE(find("first").empty());  // searches answer from the new index
    EXPECT_EQ(paths(find("second")), std::vector<std::string>{tree.file("share/Second Song.mp3")});
}

// A damaged index gives CLucene's error, never a read outside the file: the
// search ends with what it found, and the writing calls are refused.
TEST_P(MappedIndexReadingTest, ADamagedFileIsAnErrorAndWritingIsRefused) {
    ASSERT_EQ(pass({writeShare(400)}), PassResult::Published);
    const std::string damaged = tree.file("damaged");
    fs::copy(currentGeneration(), damaged);
    // The stored fields cut where the middle document's record starts (a cut
    // inside a string would leak CLucene's half-read string when it throws).
    for (const auto& item : fs::directory_iterator(damaged)) {
        if (item.path().extension() != ".fdt") continue;
        fs::path pointers = item.path();
        pointers.replace_extension(".fdx");
        std::ifstream index(pointers, std::ios::binary);
        index.seekg(static_cast<std::streamoff>(fs::file_size(pointers) / 16 * 8));
        unsigned char bytes[8] = {};
        ASSERT_TRUE(index.read(reinterpret_cast<char*>(bytes), 8));
        std::uintmax_t start = 0;
        for (unsigned char b : bytes) start = start << 8 | b;  // stored big-endian
        fs::resize_file(item.path(), start);
    }
    MappedIndexDirectory directory(damaged, GetParam());
    const ReaderPtr reader = openMapped(directory);
    bool failed = false;
    try {
        for (int32_t doc = 0; doc < reader->maxDoc(); ++doc) {
            lucene::document::Document document;
            reader->document(doc, document);
        }
    } catch (CLuceneError& error) {
        failed = error.number() == CL_ERR_IO;
    }
    EXPECT_TRUE(failed);

    EXPECT_THROW(directory.createOutput("_9.fdt"), CLuceneError);
    EXPECT_THROW(directory.renameFile("segments.gen", "x"), CLuceneError);
    EXPECT_THROW(directory.deleteFile("segments.gen"), CLuceneError);
    EXPECT_TRUE(fs::exists(damaged + "/segments.gen"));
    lucene::store::IndexInput* input = nullptr;
    CLuceneError error;
    EXPECT_FALSE(directory.openInput("_missing.fdt", input, error));
    EXPECT_EQ(input, nullptr);
}

INSTANTIATE_TEST_SUITE_P(MappedAndRead, MappedIndexReadingTest, ::testing::Bool());

}  // namespace
}  // namespace lyrebox::test
