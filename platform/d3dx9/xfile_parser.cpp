#include "d3dx9/xfile_parser.h"

#include <d3dx9mesh.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace glomp::xfile {
namespace {

// Deep nesting only comes from broken or hostile files; stop well before the stack does.
constexpr int kMaxDepth = 64;

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDelimiter(unsigned char c) {
  return IsSpace(c) || c == '{' || c == '}' || c == ';' || c == ',' || c == '"' || c == '<' ||
         c == '>' || c == '[' || c == ']';
}
// First byte of a two-byte Shift-JIS character; its second byte may look like '{' or '}'.
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

enum class Kind { kEnd, kOpen, kClose, kSeparator, kString, kWord, kGuid, kArray, kError };

struct Token {
  Kind kind = Kind::kEnd;
  std::string text;
  int line = 0;
};

class Lexer {
 public:
  Lexer(const unsigned char* bytes, size_t size, size_t start)
      : bytes_(bytes), size_(size), at_(start) {}

  Token Next() {
    SkipSpaceAndComments();
    Token token;
    token.line = line_;
    if (at_ >= size_) return token;
    unsigned char c = bytes_[at_];
    switch (c) {
      case '{': ++at_; token.kind = Kind::kOpen; return token;
      case '}': ++at_; token.kind = Kind::kClose; return token;
      case ';':
      case ',': ++at_; token.kind = Kind::kSeparator; return token;
      case '"': return ReadString(token);
      case '<': return ReadUntil(token, '>', Kind::kGuid);
      case '[': return ReadUntil(token, ']', Kind::kArray);
      case '>':
      case ']': ++at_; token.kind = Kind::kError; token.text = "stray bracket"; return token;
      default: token.kind = Kind::kWord; token.text = ReadWord(); return token;
    }
  }

  // An object's name may begin with "//" or "#" ("//walk" marks a set as switched off).
  // Such a word is a name only when an opening brace follows it on the same line;
  // otherwise it is a comment and skipped as usual.
  bool ReadCommentLikeName(std::string* name) {
    SkipSpace();
    if (at_ >= size_) return false;
    bool commentLike = bytes_[at_] == '#' ||
                       (bytes_[at_] == '/' && at_ + 1 < size_ && bytes_[at_ + 1] == '/');
    if (!commentLike) return false;
    size_t start = at_;
    std::string word = ReadWord();
    size_t look = at_;
    while (look < size_ && (bytes_[look] == ' ' || bytes_[look] == '\t')) ++look;
    if (look < size_ && bytes_[look] == '{') {
      *name = word;
      return true;
    }
    at_ = start;
    return false;
  }

  int Line() const { return line_; }

 private:
  void SkipSpace() {
    while (at_ < size_ && IsSpace(bytes_[at_])) {
      if (bytes_[at_] == '\n') ++line_;
      ++at_;
    }
  }

  void SkipSpaceAndComments() {
    for (;;) {
      SkipSpace();
      if (at_ >= size_) return;
      bool comment = bytes_[at_] == '#' ||
                     (bytes_[at_] == '/' && at_ + 1 < size_ && bytes_[at_ + 1] == '/');
      if (!comment) return;
      while (at_ < size_ && bytes_[at_] != '\n') ++at_;
    }
  }

  std::string ReadWord() {
    size_t start = at_;
    while (at_ < size_ && !IsDelimiter(bytes_[at_])) {
      at_ += (IsLeadByte(bytes_[at_]) && at_ + 1 < size_) ? 2 : 1;
    }
    if (at_ == start) ++at_;  // cannot happen for a non-delimiter, but never stall
    return std::string(reinterpret_cast<const char*>(bytes_ + start), at_ - start);
  }

  Token ReadString(Token& token) {
    size_t start = ++at_;
    while (at_ < size_ && bytes_[at_] != '"') {
      if (bytes_[at_] == '\n') ++line_;
      ++at_;
    }
    if (at_ >= size_) {
      token.kind = Kind::kError;
      token.text = "unterminated string";
      return token;
    }
    token.kind = Kind::kString;
    token.text.assign(reinterpret_cast<const char*>(bytes_ + start), at_ - start);
    ++at_;
    return token;
  }

  Token ReadUntil(Token& token, char close, Kind kind) {
    while (at_ < size_ && bytes_[at_] != static_cast<unsigned char>(close)) {
      if (bytes_[at_] == '\n') ++line_;
      ++at_;
    }
    if (at_ >= size_) {
      token.kind = Kind::kError;
      token.text = "unterminated bracket";
      return token;
    }
    ++at_;
    token.kind = kind;
    return token;
  }

  const unsigned char* bytes_;
  size_t size_;
  size_t at_;
  int line_ = 1;
};

bool ParseNumber(const std::string& word, double* out) {
  const char* first = word.data();
  const char* last = first + word.size();
  if (first != last && *first == '+') ++first;
  auto [end, error] = std::from_chars(first, last, *out);
  return error == std::errc() && end == last && std::isfinite(*out);
}

bool LooksNumeric(const std::string& word) {
  unsigned char c = static_cast<unsigned char>(word[0]);
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

class Parser {
 public:
  Parser(const unsigned char* bytes, size_t size, size_t start, std::string* error)
      : lexer_(bytes, size, start), error_(error) {}

  HRESULT ParseDocument(Document* document) {
    for (;;) {
      Token token = lexer_.Next();
      switch (token.kind) {
        case Kind::kEnd: return S_OK;
        case Kind::kSeparator: continue;
        case Kind::kWord:
          if (token.text == "template") {
            if (!SkipTemplate()) return Fail(token.line, "broken template");
            continue;
          }
          document->objects.emplace_back();
          if (!ParseObject(token, &document->objects.back(), 0)) return D3DXERR_INVALIDDATA;
          continue;
        case Kind::kError: return Fail(token.line, token.text);
        default: return Fail(token.line, "expected a data object");
      }
    }
  }

 private:
  HRESULT Fail(int line, const std::string& what) {
    if (error_ && error_->empty()) *error_ = "line " + std::to_string(line) + ": " + what;
    return D3DXERR_INVALIDDATA;
  }

  bool SkipTemplate() {
    Token name = lexer_.Next();
    if (name.kind != Kind::kWord) return false;
    Token open = lexer_.Next();
    if (open.kind != Kind::kOpen) return false;
    for (int depth = 1; depth > 0;) {
      Token token = lexer_.Next();
      if (token.kind == Kind::kEnd || token.kind == Kind::kError) return false;
      if (token.kind == Kind::kOpen) ++depth;
      if (token.kind == Kind::kClose) --depth;
    }
    return true;
  }

  // `type` has been read; reads [name] [<guid>] { body }.
  bool ParseObject(const Token& type, Object* object, int depth) {
    if (depth > kMaxDepth) return Fail(type.line, "objects nested too deeply"), false;
    object->type = type.text;
    std::string oddName;
    Token token;
    if (lexer_.ReadCommentLikeName(&oddName)) {
      object->name = oddName;
      token = lexer_.Next();
    } else {
      token = lexer_.Next();
      if (token.kind == Kind::kWord) {
        object->name = token.text;
        token = lexer_.Next();
      }
    }
    if (token.kind != Kind::kOpen) {
      return Fail(token.line, "expected '{' after " + type.text), false;
    }
    return ParseBody(object, depth);
  }

  bool ParseBody(Object* object, int depth) {
    for (;;) {
      Token token = lexer_.Next();
      switch (token.kind) {
        case Kind::kClose: return true;
        case Kind::kEnd: return Fail(token.line, "file ends inside " + object->type), false;
        case Kind::kError: return Fail(token.line, token.text), false;
        case Kind::kSeparator:
        case Kind::kGuid: continue;
        case Kind::kArray: return Fail(token.line, "unexpected '['"), false;
        case Kind::kString: {
          Value value;
          value.isString = true;
          value.text = token.text;
          object->data.push_back(std::move(value));
          continue;
        }
        case Kind::kOpen:
          if (!ParseReference(object)) return false;
          continue;
        case Kind::kWord:
          if (LooksNumeric(token.text)) {
            Value value;
            if (!ParseNumber(token.text, &value.number)) {
              return Fail(token.line, "bad number '" + token.text + "'"), false;
            }
            object->data.push_back(std::move(value));
            continue;
          }
          object->children.emplace_back();
          if (!ParseObject(token, &object->children.back(), depth + 1)) return false;
          continue;
      }
    }
  }

  // After '{' inside an object: `Name [<guid>] }` or `<guid> }`.
  bool ParseReference(Object* object) {
    Object reference;
    reference.isReference = true;
    Token token = lexer_.Next();
    if (token.kind == Kind::kWord) {
      reference.name = token.text;
      token = lexer_.Next();
    }
    if (token.kind == Kind::kGuid) token = lexer_.Next();
    if (token.kind != Kind::kClose) return Fail(token.line, "broken reference"), false;
    object->children.push_back(std::move(reference));
    return true;
  }

  Lexer lexer_;
  std::string* error_;
};

}  // namespace

HRESULT Parse(const unsigned char* bytes, size_t size, Document* document, std::string* error) {
  document->objects.clear();
  auto fail = [error](const char* what) {
    if (error) *error = what;
    return D3DXERR_INVALIDDATA;
  };
  if (size < 16 || std::memcmp(bytes, "xof ", 4) != 0) return fail("not an X file");
  if (std::memcmp(bytes + 8, "txt ", 4) != 0) {
    bool known = std::memcmp(bytes + 8, "bin ", 4) == 0 || std::memcmp(bytes + 8, "tzip", 4) == 0 ||
                 std::memcmp(bytes + 8, "bzip", 4) == 0;
    return fail(known ? "binary and compressed X files are not supported"
                      : "unknown X file format");
  }
  Parser parser(bytes, size, 16, error);
  HRESULT hr = parser.ParseDocument(document);
  if (FAILED(hr)) document->objects.clear();
  return hr;
}

bool DataReader::Number(double* out) {
  if (next_ >= values_.size() || values_[next_].isString) return false;
  *out = values_[next_++].number;
  return true;
}

bool DataReader::Float(float* out) {
  double value;
  if (!Number(&value) || std::fabs(value) > std::numeric_limits<float>::max()) return false;
  *out = static_cast<float>(value);
  return true;
}

bool DataReader::Count(DWORD limit, DWORD* out) {
  double value;
  if (!Number(&value)) return false;
  if (value < 0 || value > limit || value != std::floor(value)) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

bool DataReader::String(std::string* out) {
  if (next_ >= values_.size() || !values_[next_].isString) return false;
  *out = values_[next_++].text;
  return true;
}

}  // namespace glomp::xfile
