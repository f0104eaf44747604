// Small X files written by the tests, and a plain allocator that counts what it holds.
#pragma once
#include <gtest/gtest.h>

#include <d3dx9.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

class XFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("glomp_xfile_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes `body` after the text header and returns the path.
  std::string Write(const std::string& name, const std::string& body,
                    const std::string& header = "xof 0303txt 0032\n") {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << header << body;
    return path;
  }

  std::filesystem::path dir_;
};

// Keeps frames and containers exactly as the loader hands them over, and counts them.
class CountingAllocator : public ID3DXAllocateHierarchy {
 public:
  int liveFrames = 0;
  int liveContainers = 0;
  int calls = 0;
  int failAtCall = -1;  // this call (0-based) returns E_OUTOFMEMORY

  HRESULT CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) override {
    *newFrame = nullptr;
    if (calls++ == failAtCall) return E_OUTOFMEMORY;
    D3DXFRAME* frame = new D3DXFRAME{};
    frame->Name = Copy(name);
    ++liveFrames;
    *newFrame = frame;
    return S_OK;
  }
  HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                              const D3DXMATERIAL* materials, const D3DXEFFECTINSTANCE*,
                              DWORD numMaterials, const DWORD* adjacency, LPD3DXSKININFO skin,
                              LPD3DXMESHCONTAINER* newContainer) override {
    *newContainer = nullptr;
    if (calls++ == failAtCall) return E_OUTOFMEMORY;
    D3DXMESHCONTAINER* container = new D3DXMESHCONTAINER{};
    container->Name = Copy(name);
    container->MeshData = *meshData;
    meshData->pMesh->AddRef();
    container->NumMaterials = numMaterials;
    container->pMaterials = new D3DXMATERIAL[numMaterials ? numMaterials : 1];
    for (DWORD i = 0; i < numMaterials; ++i) {
      container->pMaterials[i] = materials[i];
      container->pMaterials[i].pTextureFilename = Copy(materials[i].pTextureFilename);
    }
    DWORD faces = meshData->pMesh->GetNumFaces();
    container->pAdjacency = new DWORD[3 * faces];
    std::memcpy(container->pAdjacency, adjacency, 12 * faces);
    container->pSkinInfo = skin;
    if (skin) skin->AddRef();
    ++liveContainers;
    *newContainer = container;
    return S_OK;
  }
  HRESULT DestroyFrame(LPD3DXFRAME frame) override {
    delete[] frame->Name;
    delete frame;
    --liveFrames;
    return S_OK;
  }
  HRESULT DestroyMeshContainer(LPD3DXMESHCONTAINER container) override {
    for (DWORD i = 0; i < container->NumMaterials; ++i) {
      delete[] container->pMaterials[i].pTextureFilename;
    }
    delete[] container->pMaterials;
    delete[] container->pAdjacency;
    delete[] container->Name;
    container->MeshData.pMesh->Release();
    if (container->pSkinInfo) container->pSkinInfo->Release();
    delete container;
    --liveContainers;
    return S_OK;
  }
  virtual ~CountingAllocator() = default;

 private:
  static char* Copy(const char* text) {
    if (!text) return nullptr;
    char* copy = new char[std::strlen(text) + 1];
    std::strcpy(copy, text);
    return copy;
  }
};
