// The replay state log: one JSON object a line. The first line describes the
// window; then one line per frame. Each field of a frame line is written by one
// small function in state_log.cpp, listed in kFrameFields: a new field is one
// new function and one new table entry.
#pragma once
#include <optional>
#include <ostream>
#include <string>

#include <windows.h>

#include "tools/common/json.h"

struct FrameFacts {
  int frame = 0;
  DWORD time = 0;  // virtual ms at the frame's start
  std::optional<std::string> messageBox;  // UTF-8 text of a box asked in this frame
};

void WriteWindowLine(std::ostream& out);
void WriteFrameLine(std::ostream& out, const FrameFacts& facts);
