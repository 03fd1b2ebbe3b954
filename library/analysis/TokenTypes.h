// The token type names of the file-name analysis. Tokenizer and filter compare
// types by pointer identity, so both must use these very objects.
#pragma once

#include <CLucene.h>

namespace lucene::analysis::filename {

enum TokenType {
    kEof = 0,
    kUnknown,
    kAlphanum,
    kApostrophe,
    kAcronym,
    kCompany,
    kEmail,
    kHost,
    kNum,
    kTokenTypeCount
};

// Indexed by TokenType.
extern const TCHAR* const kTokenTypeNames[kTokenTypeCount];

inline const TCHAR* tokenTypeName(TokenType type) { return kTokenTypeNames[type]; }

}  // namespace lucene::analysis::filename
