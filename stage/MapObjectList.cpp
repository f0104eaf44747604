#include "stage/MapObjectList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>

#include "render/ResourceCache.h"
#include "render/StaticMesh.h"
#include "stage/MOS_CheckPoint.h"
#include "stage/MOS_Flag.h"
#include "stage/MOS_Gate.h"
#include "stage/MOS_Move.h"
#include "stage/MOS_Water.h"

namespace {

constexpr const char* kStageFilePaths[kStageFileCount] = {"./data/csv/title.csv",
                                                          "./data/csv/model3.csv"};
// "失敗" in Shift-JIS.
constexpr char kOpenFailed[] = "\x8E\xB8\x94\x73";
constexpr int kHeaderLines = 2;
constexpr float kDegreesToRadians = 0.017453292f;

// Columns of a stage row.
constexpr std::size_t kKindColumn = 10;
constexpr std::size_t kNumberColumn = 14;
constexpr std::size_t kPlainRowColumns = 11;
constexpr std::size_t kNumberedRowColumns = 15;

// Splits at every comma; a comma at the very end of the row adds no column.
std::vector<std::string> SplitColumns(const std::string& row) {
  std::vector<std::string> columns;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = row.find(',', start);
    if (comma == std::string::npos) {
      if (start < row.size() || columns.empty()) columns.push_back(row.substr(start));
      return columns;
    }
    columns.push_back(row.substr(start, comma - start));
    start = comma + 1;
  }
}

float ReadFloat(const std::string& column) { return float(std::atof(column.c_str())); }

// Decimal with the atof rules: leading blanks, the longest valid prefix, 0 for
// no number; values beyond int are held at its limits.
int ReadInt(const std::string& column) {
  const long value = std::strtol(column.c_str(), nullptr, 10);
  if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return int(value);
}

bool NeedsNumberColumn(const std::string& kindText) {
  return kindText == "MoveObject" || kindText == "CheckPoint" || kindText == "Gate";
}

D3DXMATRIX RowWorld(const std::vector<std::string>& columns) {
  float v[9];
  for (int i = 0; i < 9; ++i) v[i] = ReadFloat(columns[std::size_t(i) + 1]);
  D3DXMATRIX translation, scaling, rotation;
  D3DXMatrixTranslation(&translation, v[0], v[1], v[2]);
  D3DXMatrixScaling(&scaling, v[3], v[4], v[5]);
  D3DXMatrixRotationYawPitchRoll(&rotation, v[7] * kDegreesToRadians, v[6] * kDegreesToRadians,
                                 v[8] * kDegreesToRadians);
  return scaling * rotation * translation;
}

MapObjectStruct* MakeObject(const std::vector<std::string>& columns, CStaticMesh* model,
                            const D3DXMATRIX& world) {
  const std::string& kindText = columns[kKindColumn];
  if (kindText == "MoveObject") {
    const D3DXVECTOR3 moveVector(ReadFloat(columns[11]), ReadFloat(columns[12]),
                                 ReadFloat(columns[13]));
    return new MOS_Move(model, world, kindText, moveVector, ReadInt(columns[kNumberColumn]));
  }
  if (kindText == "CheckPoint") {
    return new MOS_CheckPoint(model, world, kindText, ReadInt(columns[kNumberColumn]));
  }
  if (kindText == "Gate") {
    return new MOS_Gate(model, world, kindText, ReadInt(columns[kNumberColumn]));
  }
  if (kindText == "Water") return new MOS_Water(model, world, kindText);
  if (kindText == "Flag") return new MOS_Flag(model, world, kindText);
  return new MapObjectStruct(model, world, kindText);
}

}  // namespace

const char* StageFilePath(int stageFile) {
  return stageFile >= 0 && stageFile < kStageFileCount ? kStageFilePaths[stageFile] : nullptr;
}

MapObjectList::MapObjectList(int stageFile) { Load(stageFile); }

MapObjectList::~MapObjectList() { Clear(); }

void MapObjectList::Clear() {
  for (MapObjectStruct* object : objects) delete object;
  objects.clear();
}

void MapObjectList::Load(int stageFile) {
  const char* path = StageFilePath(stageFile);
  if (!path) {
    Clear();
    std::cerr << kOpenFailed << std::endl;
    return;
  }
  LoadFile(path);
}

void MapObjectList::LoadFile(const std::string& path) {
  Clear();
  std::ifstream file(path);
  if (!file) {
    std::cerr << kOpenFailed << std::endl;
    return;
  }
  int skip = kHeaderLines;
  std::string line;
  while (std::getline(file, line)) {
    if (skip > 0) {
      --skip;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF files
    HandleRow(line);
  }
  std::cout << std::endl;
}

// Rows too short for their kind, empty lines and rows whose model does not load
// are skipped and take no index.
void MapObjectList::HandleRow(const std::string& line) {
  if (line.empty()) return;
  const std::vector<std::string> columns = SplitColumns(line);
  for (const std::string& column : columns) std::cout << "[" << column << "]\n";
  if (columns.size() < kPlainRowColumns) return;
  if (NeedsNumberColumn(columns[kKindColumn]) && columns.size() < kNumberedRowColumns) return;

  CStaticMesh* model = g_resourceCache ? g_resourceCache->GetStaticMesh(columns[0]) : nullptr;
  if (!model || !model->mesh) return;

  MapObjectStruct* object = MakeObject(columns, model, RowWorld(columns));
  object->index = int(objects.size());
  objects.push_back(object);
}

const MapObjectStruct* MapObjectList::At(int index) const {
  return index >= 0 && std::size_t(index) < objects.size() ? objects[std::size_t(index)] : nullptr;
}

void MapObjectList::UpdateAll() {
  for (MapObjectStruct* object : objects) object->Update();
}

void MapObjectList::DrawOverlays() {
  for (MapObjectStruct* object : objects) object->DrawOverlay();
}

void MapObjectList::DrawOpaque() {
  for (MapObjectStruct* object : objects) {
    if (object->kind != MAP_OBJECT_WATER) object->Draw();
  }
}

void MapObjectList::DrawWater() {
  for (MapObjectStruct* object : objects) {
    if (object->kind == MAP_OBJECT_WATER) object->Draw();
  }
}

void MapObjectList::DrawShadows() {
  for (MapObjectStruct* object : objects) object->DrawShadow();
}

std::vector<int> MapObjectList::NearbyObjects(const D3DXVECTOR3& point, float radius) const {
  std::vector<int> nearby;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const MapObjectStruct* object = objects[i];
    if (object->kind == MAP_OBJECT_MAP) {
      nearby.push_back(int(i));
    } else if (object->kind == MAP_OBJECT_MOVE || object->kind == MAP_OBJECT_GATE) {
      const D3DXVECTOR3 between =
          D3DXVECTOR3(object->world._41, object->world._42, object->world._43) - point;
      if (D3DXVec3Length(&between) < radius) nearby.push_back(int(i));
    }
  }
  return nearby;
}

bool MapObjectList::RayTest(int index, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
                            float* distance, DWORD* faceIndex) const {
  const MapObjectStruct* object = At(index);
  if (!object) return false;
  // A row scaled to nothing in one axis has no inverse to take the ray into
  // the mesh's space with; such a flat object is not hit.
  if (D3DXMatrixDeterminant(&object->world) == 0.0f) return false;
  return IntersectMesh(object->model, object->world, origin, direction, distance, faceIndex);
}

float MapObjectList::LowestSurface() const {
  float lowest = std::numeric_limits<float>::max();
  for (const MapObjectStruct* object : objects) {
    const bool solid = object->kind == MAP_OBJECT_MAP || object->kind == MAP_OBJECT_MOVE ||
                       object->kind == MAP_OBJECT_GATE;
    ID3DXMesh* mesh = object->model ? object->model->mesh : nullptr;
    if (!solid || !mesh) continue;
    const DWORD count = mesh->GetNumVertices();
    const DWORD stride = mesh->GetNumBytesPerVertex();
    void* data = nullptr;
    if (stride < sizeof(D3DXVECTOR3) || FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data)) ||
        !data) {
      continue;
    }
    const auto* bytes = static_cast<const BYTE*>(data);
    for (DWORD v = 0; v < count; ++v) {
      D3DXVECTOR3 placed;
      D3DXVec3TransformCoord(&placed, reinterpret_cast<const D3DXVECTOR3*>(bytes + v * stride),
                             &object->world);
      lowest = std::min(lowest, placed.y);
    }
    mesh->UnlockVertexBuffer();
  }
  return lowest == std::numeric_limits<float>::max() ? 0.0f : lowest;
}

float MapObjectList::FaceAlpha(int index, DWORD faceIndex) const {
  const MapObjectStruct* object = At(index);
  if (!object || !object->model || !object->model->mesh) return 0.0f;
  ID3DXMesh* mesh = object->model->mesh;
  if (faceIndex >= mesh->GetNumFaces()) return 0.0f;
  DWORD* attributes = nullptr;
  if (FAILED(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes)) || !attributes) return 0.0f;
  const DWORD material = attributes[faceIndex];
  mesh->UnlockAttributeBuffer();
  if (material >= object->model->materialCount) return 0.0f;
  return object->model->materials[material].Diffuse.a;
}
