// Test support: runs the replay tool (from the build folder, where tests run)
// on a script and reads back its state log, one JSON line per frame.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace glomp::test {

// The text after "name": in a log line, up to the next comma or closing brace,
// or the whole bracketed list for a list; "<missing>" when there is no such field.
inline std::string LogField(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\": ";
  const size_t at = line.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t start = at + key.size();
  if (line[start] == '[') return line.substr(start, line.find(']', start) - start + 1);
  if (line[start] == '{') return line.substr(start, line.find('}', start) - start + 1);
  return line.substr(start, line.find_first_of(",}", start) - start);
}

// The numbers of a bracketed list such as "[0, 1, 2]".
inline std::vector<float> LogNumbers(const std::string& list) {
  std::vector<float> values;
  if (list.empty() || list[0] != '[') return values;
  const char* p = list.c_str() + 1;
  while (*p && *p != ']') {
    char* end = nullptr;
    values.push_back(std::strtof(p, &end));
    if (end == p) break;
    p = end;
    while (*p == ',' || *p == ' ') ++p;
  }
  return values;
}

struct ReplayRun {
  int exitCode = -1;
  std::vector<std::string> frames;  // the frame lines of the log, frame 0 first
  std::filesystem::path directory;  // script, log, output and screenshots

  std::string Field(int frame, const std::string& name) const {
    return LogField(frames.at(frame), name);
  }
  // The state of a keyboard slot after a frame (0 up, 1 pressed, 2 held, 3 released).
  int Key(int frame, int slot) const {
    const std::vector<float> keys = LogNumbers(Field(frame, "keys"));
    return slot < static_cast<int>(keys.size()) ? static_cast<int>(keys[slot]) : -1;
  }
  // The title slime's part of a frame line ("null" while no title runs).
  std::string Slime(int frame) const {
    const std::string& line = frames.at(frame);
    const size_t at = line.find("\"title_slime\": ");
    return at == std::string::npos ? "<missing>" : line.substr(at + 15);
  }
};

// Runs `./replay` for `frames` frames in a fresh folder named `name` under the
// test's temporary folder; a failed run fails the calling test.
inline ReplayRun RunReplay(const std::string& name, const std::string& script, int frames,
                           const std::string& shotAt = "") {
  namespace fs = std::filesystem;
  ReplayRun run;
  run.directory = fs::path(testing::TempDir()) / "replay_runs" / name;
  fs::remove_all(run.directory);
  fs::create_directories(run.directory);
  std::ofstream(run.directory / "run.script") << script;
  std::string command = "./replay --script " + (run.directory / "run.script").string() +
                        " --frames " + std::to_string(frames) + " --log " +
                        (run.directory / "state.log").string();
  if (!shotAt.empty()) {
    command += " --shots " + (run.directory / "shots").string() + " --shot-at " + shotAt;
  }
  command += " > " + (run.directory / "out.txt").string() + " 2>&1";
  const int status = std::system(command.c_str());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  EXPECT_EQ(run.exitCode, 0) << command;
  std::ifstream in(run.directory / "state.log");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("{\"frame\"", 0) == 0) run.frames.push_back(line);
  }
  return run;
}

}  // namespace glomp::test
