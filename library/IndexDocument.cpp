#include "library/IndexDocument.h"

#include "library/LibraryText.h"
#include "library/analysis/FilenameAnalyzer.h"
#include "library/analysis/IndexAnalyzer.h"

namespace lyrebox {

namespace {

using lucene::document::Document;
using lucene::document::Field;

// "name" is searched but not kept; the other fields are kept but not searched.
constexpr int kSearchedField = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
constexpr int kStoredField = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
// One term, neither analysed nor kept, nor scored (no norms): marks
// directories for folder searches, which read its postings alone.
constexpr int kMarkerField = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_NONORMS);

// A number's decimal digits as a new value of field (which copies them).
void setNumber(Field& field, std::uint32_t value) {
    TCHAR digits[16];
    TCHAR* at = digits + 15;
    *at = 0;
    do {
        *--at = static_cast<TCHAR>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    field.setValue(at, true);
}

// The bytes of a path, lent to a field for one document: CLucene deletes the
// array a field is given, but not the bytes this one points to.
class LentBytes : public lucene::util::ValueArray<uint8_t> {
public:
    explicit LentBytes(const std::string& bytes)
        : ValueArray(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())), bytes.size()) {}
    ~LentBytes() override { values = nullptr; }  // before ValueArray's destructor would delete them
    LentBytes(const LentBytes&) = delete;
    LentBytes& operator=(const LentBytes&) = delete;
};

Field* add(Document& document, const TCHAR* name, int config) {
    auto field = std::make_unique<Field>(name, config);
    Field* kept = field.get();
    document.add(*field.release());  // the document owns its fields
    return kept;
}

}  // namespace

IndexDocument::~IndexDocument() = default;

IndexDocument::Shape& IndexDocument::shape(bool folded, bool directory) {
    Shape& made = shapes_[(folded ? 2 : 0) + (directory ? 1 : 0)];
    if (made.document) {
        return made;
    }
    auto document = std::make_unique<Document>();
    add(*document, L"name", kSearchedField)->setValue(&nameStream_);
    made.path = add(*document, L"path", kStoredField);
    made.attributes = add(*document, L"attributes", kStoredField);
    made.size = add(*document, L"size", kStoredField);
    if (folded) {
        Field* words = add(*document, lucene::analysis::filename::kFoldedField, kSearchedField);
        words->setValue(&foldedStream_);
        words->setOmitNorms(true);  // matched through its postings alone, never scored
    }
    if (directory) {
        auto marker = std::make_unique<Field>(lucene::analysis::filename::kKindField,
                                              lucene::analysis::filename::kDirectoryKind, kMarkerField);
        document->add(*marker.release());
    }
    made.document = std::move(document);
    return made;
}

Document& IndexDocument::of(const FoundEntry& entry) {
    nameStream_.show(entry.terms, entry.termEnds, entry.foldedTerms, entry.termEnds.size());
    bool folded = false;
    if (foldedWords_) {
        foldedStream_.show(entry.terms, entry.termEnds, 0, entry.foldedTerms);
        folded = !foldedStream_.empty();
    }
    // The marker goes with the folded words: the pass without them has neither.
    Shape& fields = shape(folded, foldedWords_ && isDirectory(entry.attributes));
    // The field owns the array from here (CLucene's API), and writes the
    // bytes without changing them.
    fields.path->setValue(std::make_unique<LentBytes>(entry.path).release());
    setNumber(*fields.attributes, entry.attributes);
    setNumber(*fields.size, entry.size);
    return *fields.document;
}

std::string storedPath(const Document& document) {
    Field* field = document.getField(L"path");
    if (field == nullptr) {
        return {};
    }
    if (field->isBinary()) {
        const auto* bytes = field->binaryValue();
        return bytes == nullptr || bytes->values == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char*>(bytes->values), bytes->length);
    }
    return lucene::analysis::filename::narrow(field->stringValue());
}

}  // namespace lyrebox
