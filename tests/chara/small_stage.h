// Small stages that the character tests write themselves: squares of side 2
// around their origin as X files, and a stage file of rows loaded into a CStage.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "stage/MapObjectList.h"
#include "stage/Stage.h"

namespace chara_test {

// One material of alpha `alpha`: a floor in the xz plane, walls in the yz plane
// (facing x) and the xy plane (facing z).
inline std::string Square(const char* corners, float alpha) {
  return std::string("xof 0303txt 0032\nMesh square {\n  4; ") + corners +
         ";\n  2; 3;0,1,2;, 3;0,2,3;;\n  MeshMaterialList { 1; 2; 0, 0;;\n"
         "    Material { 1;1;1;" + std::to_string(alpha) + ";; 5; 0;0;0;; 0;0;0;; }\n  }\n}\n";
}
inline const char* const kFloor = "-1;0;-1;, -1;0;1;, 1;0;1;, 1;0;-1;";
inline const char* const kWallX = "0;-1;-1;, 0;1;-1;, 0;1;1;, 0;-1;1;";
inline const char* const kWallZ = "-1;-1;0;, -1;1;0;, 1;1;0;, 1;-1;0;";

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// floor.x, floor0.x, floorhalf.x (alpha 1, 0, 0.5), wallx.x and wallz.x in the
// working folder.
inline void WriteSquares() {
  WriteFile("floor.x", Square(kFloor, 1.0f));
  WriteFile("floor0.x", Square(kFloor, 0.0f));
  WriteFile("floorhalf.x", Square(kFloor, 0.5f));
  WriteFile("wallx.x", Square(kWallX, 1.0f));
  WriteFile("wallz.x", Square(kWallZ, 1.0f));
}

// A stage of rows "model,x,y,z,sx,sy,sz,rx,ry,rz,kind[,mx,my,mz,number]",
// written to stage.csv and loaded; the loader's echo is swallowed.
inline std::unique_ptr<CStage> LoadSmallStage(const std::vector<std::string>& rows) {
  std::string text = "model,x,y,z,sx,sy,sz,rx,ry,rz,kind,mx,my,mz,number\n"
                     "file,float,float,float,float,float,float,deg,deg,deg,text,f,f,f,int\n";
  for (const std::string& row : rows) text += row + "\n";
  WriteFile("stage.csv", text);
  ::testing::internal::CaptureStderr();
  auto stage = std::make_unique<CStage>(new MapObjectList(-1));
  ::testing::internal::GetCapturedStderr();
  ::testing::internal::CaptureStdout();
  stage->objects->LoadFile("stage.csv");
  ::testing::internal::GetCapturedStdout();
  return stage;
}

}  // namespace chara_test
