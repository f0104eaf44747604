// A small reader of the X text format for checking the shipped models: data
// objects with their type, optional name, numbers, strings and child objects.
// Separators (',' and ';') are dropped, so a template's members come out as a
// flat list of numbers in file order.
#pragma once
#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace content_test {

struct XObject {
  std::string type, name;
  std::vector<double> numbers;
  std::vector<std::string> strings;
  std::vector<std::unique_ptr<XObject>> children;
  const XObject* Child(const std::string& t) const {
    for (const auto& c : children) {
      if (c->type == t) return c.get();
    }
    return nullptr;
  }
};

struct XFile {
  std::string header;
  std::vector<std::unique_ptr<XObject>> objects;
  std::string error;  // empty when the text parsed
};

inline bool IsNameByte(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '-' || c >= 0x80;
}

inline XFile ParseXText(const std::string& text) {
  XFile file;
  if (text.size() < 16) {
    file.error = "too short for a header";
    return file;
  }
  file.header = text.substr(0, 16);
  size_t i = 16;
  std::vector<XObject*> open;
  std::string pendingType, pendingName;
  auto fail = [&](const std::string& why) {
    file.error = why + " at byte " + std::to_string(i);
    return std::move(file);
  };
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c) || c == ',' || c == ';') {
      ++i;
    } else if (c == '{') {
      if (pendingType.empty()) return fail("'{' without a type");
      auto obj = std::make_unique<XObject>();
      obj->type = pendingType;
      obj->name = pendingName;
      pendingType.clear();
      pendingName.clear();
      XObject* raw = obj.get();
      if (open.empty())
        file.objects.push_back(std::move(obj));
      else
        open.back()->children.push_back(std::move(obj));
      open.push_back(raw);
      ++i;
    } else if (c == '}') {
      if (open.empty()) return fail("unbalanced '}'");
      open.pop_back();
      ++i;
    } else if (c == '"') {
      const size_t end = text.find('"', i + 1);
      if (end == std::string::npos || open.empty()) return fail("bad string");
      open.back()->strings.push_back(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (std::isdigit(c) || c == '-' || c == '.') {
      if (open.empty()) return fail("number outside an object");
      size_t used = 0;
      double v = 0;
      try {
        v = std::stod(text.substr(i, 32), &used);
      } catch (...) {
        return fail("bad number");
      }
      open.back()->numbers.push_back(v);
      i += used;
    } else if (IsNameByte(c)) {
      size_t end = i;
      while (end < text.size() && IsNameByte(static_cast<unsigned char>(text[end]))) ++end;
      const std::string word = text.substr(i, end - i);
      if (pendingType.empty())
        pendingType = word;
      else
        pendingName = word;
      i = end;
    } else {
      return fail("unexpected byte");
    }
  }
  if (!open.empty()) file.error = "unclosed object";
  return file;
}

// The numbers of a Mesh object laid out as the game's loader reads them.
struct MeshData {
  std::vector<double> positions;  // xyz per vertex
  std::vector<std::vector<int>> faces;
  std::vector<double> normals;
  std::vector<double> uvs;
  std::vector<int> faceMaterial;
  int materialCount = 0;
  std::vector<const XObject*> materials;
  std::string error;
};

inline MeshData ReadMesh(const XObject& mesh) {
  MeshData d;
  const auto& n = mesh.numbers;
  size_t k = 0;
  auto take = [&](double& v) {
    if (k >= n.size()) return false;
    v = n[k++];
    return true;
  };
  double count = 0;
  if (!take(count)) return d.error = "no vertex count", d;
  for (int i = 0; i < count * 3; ++i) {
    double v;
    if (!take(v)) return d.error = "vertices cut short", d;
    d.positions.push_back(v);
  }
  double faces = 0;
  if (!take(faces)) return d.error = "no face count", d;
  for (int f = 0; f < faces; ++f) {
    double corners;
    if (!take(corners)) return d.error = "faces cut short", d;
    std::vector<int> face;
    for (int c = 0; c < corners; ++c) {
      double v;
      if (!take(v)) return d.error = "faces cut short", d;
      face.push_back(static_cast<int>(v));
    }
    d.faces.push_back(face);
  }
  if (const XObject* normals = mesh.Child("MeshNormals")) {
    const size_t nn = static_cast<size_t>(normals->numbers.empty() ? 0 : normals->numbers[0]);
    for (size_t i = 0; i < nn * 3 && 1 + i < normals->numbers.size(); ++i)
      d.normals.push_back(normals->numbers[1 + i]);
  }
  if (const XObject* uv = mesh.Child("MeshTextureCoords")) {
    const size_t nt = static_cast<size_t>(uv->numbers.empty() ? 0 : uv->numbers[0]);
    for (size_t i = 0; i < nt * 2 && 1 + i < uv->numbers.size(); ++i)
      d.uvs.push_back(uv->numbers[1 + i]);
  }
  if (const XObject* list = mesh.Child("MeshMaterialList")) {
    if (list->numbers.size() >= 2) {
      d.materialCount = static_cast<int>(list->numbers[0]);
      const size_t nf = static_cast<size_t>(list->numbers[1]);
      for (size_t i = 0; i < nf && 2 + i < list->numbers.size(); ++i) {
        d.faceMaterial.push_back(static_cast<int>(list->numbers[2 + i]));
      }
    }
    for (const auto& c : list->children) {
      if (c->type == "Material") d.materials.push_back(c.get());
    }
  }
  return d;
}

}  // namespace content_test
