// Reader for the text form of DirectX X files: turns the file into a tree of data objects
// without interpreting them. Templates are skipped; binary and compressed files are refused.
#pragma once
#include <glomp/wintypes.h>

#include <cstddef>
#include <string>
#include <vector>

namespace glomp::xfile {

struct Value {
  bool isString = false;
  double number = 0;
  std::string text;  // raw bytes of a string value
};

// One data object `Type [Name] { data... children... }`, or a reference `{ Name }`
// (isReference set, name holds the referenced name).
struct Object {
  std::string type;
  std::string name;  // raw bytes (Shift-JIS names stay as they are)
  bool isReference = false;
  std::vector<Value> data;
  std::vector<Object> children;  // nested objects and references in file order
};

struct Document {
  std::vector<Object> objects;  // top-level data objects in file order
};

// S_OK, or an error result with a message naming the line where reading failed.
HRESULT Parse(const unsigned char* bytes, size_t size, Document* document, std::string* error);

// Cursor over an object's data values that checks every read.
class DataReader {
 public:
  explicit DataReader(const Object& object) : values_(object.data) {}
  bool Number(double* out);
  bool Float(float* out);
  // A whole number in [0, limit].
  bool Count(DWORD limit, DWORD* out);
  bool String(std::string* out);
  size_t Remaining() const { return values_.size() - next_; }

 private:
  const std::vector<Value>& values_;
  size_t next_ = 0;
};

}  // namespace glomp::xfile
