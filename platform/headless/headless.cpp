// Headless backend: virtual clock, scripted keys, mouse and message-box answers.
#include "glomp/headless.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <istream>
#include <sstream>
#include <thread>

#include "win32/internal.h"
#include "win32/sdl_window.h"

namespace glomp::headless {
namespace {

struct PendingAnswer {
  int frame;
  Answer answer;
};

struct State {
  std::mutex mutex;
  bool enabled = false;
  bool openGL = true;
  // Clock.
  DWORD clock = 0;
  DWORD pendingWork = 0;
  int clockReadsThisFrame = 0;
  std::thread::id gameThread;
  WorkSource workSource;
  // Frames.
  int frame = -1;
  int hookCalledFor = -1;
  bool quitAsked = false;  // the run's frame limit was reached
  FrameHook frameHook;
  DispatchObserver dispatchObserver;
  // Input.
  std::array<bool, 256> keys{};
  gamepad::State pad;
  std::multimap<int, ScriptEvent> scheduled;  // key and mouse events by frame
  // Message boxes.
  std::vector<PendingAnswer> answers;  // in the order queued
  std::vector<AskedBox> boxes;
};

State& S() {
  static State state;
  return state;
}

bool EnvironmentAsksForHeadless() {
  const char* value = std::getenv("GLOMP_HEADLESS");
  return value != nullptr && value[0] == '1';
}

// GLOMP_HEADLESS_FRAMES: the frame at which a run without a frame hook ends; -1
// when it is not set or not a number of frames.
int EnvironmentFrameLimit() {
  static const int limit = [] {
    const char* value = std::getenv("GLOMP_HEADLESS_FRAMES");
    if (value == nullptr || *value == '\0') return -1;
    char* end = nullptr;
    const long frames = std::strtol(value, &end, 10);
    return (*end != '\0' || frames < 0 || frames > 100000000) ? -1 : static_cast<int>(frames);
  }();
  return limit;
}

// What a person does at the end of a limited run: quits from the desktop, and
// says Yes when asked.
void QuitFromTheDesktop() {
  QueueAnswer(CurrentFrame(), Answer::Yes);
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}

void ApplyScheduledEvents(State& s, int frame) {
  auto [first, last] = s.scheduled.equal_range(frame);
  for (auto it = first; it != last; ++it) {
    const ScriptEvent& event = it->second;
    if (event.kind == ScriptEvent::Kind::Key) {
      s.keys[event.value & 0xFF] = event.down;
    } else if (event.kind == ScriptEvent::Kind::MouseX) {
      win32::MoveVirtualCursor(event.value, 0);
    } else if (event.kind == ScriptEvent::Kind::PadButton) {
      s.pad.connected = true;
      s.pad.buttons[event.value] = event.down;
    } else if (event.kind == ScriptEvent::Kind::PadAxis) {
      s.pad.connected = true;
      s.pad.axes[event.value] = event.axisValue;
    } else if (event.kind == ScriptEvent::Kind::PadUnplug) {
      s.pad = {};
    }
  }
}

int ResultFor(UINT type, const PendingAnswer* answer) {
  const bool yes = answer != nullptr && answer->answer == Answer::Yes;
  switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return yes ? IDYES : IDNO;
    case MB_OKCANCEL:
      return yes ? IDOK : IDCANCEL;
    case MB_RETRYCANCEL:
      return yes ? IDRETRY : IDCANCEL;
    case MB_ABORTRETRYIGNORE:
      return yes ? IDRETRY : IDABORT;
    default:
      return IDOK;
  }
}

std::string Trim(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const auto end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// "button NAME down|up", "axis NAME VALUE" or "unplug", after "FRAME PAD".
bool ParsePadEvent(std::istream& words, ScriptEvent* event, std::string* why) {
  std::string what, name;
  if (!(words >> what)) {
    *why = "PAD needs button, axis or unplug";
    return false;
  }
  if (what == "unplug") {
    event->kind = ScriptEvent::Kind::PadUnplug;
    return true;
  }
  if (what == "button") {
    std::string state;
    gamepad::Button button;
    if (!(words >> name >> state)) {
      *why = "PAD button needs a button and down|up";
    } else if (!gamepad::ButtonFromName(name, &button)) {
      *why = "unknown pad button";
    } else if (state != "down" && state != "up") {
      *why = "pad button state must be down or up";
    } else {
      event->kind = ScriptEvent::Kind::PadButton;
      event->value = static_cast<int>(button);
      event->down = state == "down";
      return true;
    }
    return false;
  }
  if (what == "axis") {
    long value = 0;
    gamepad::Axis axis;
    if (!(words >> name)) {
      *why = "PAD axis needs an axis and a value";
    } else if (!gamepad::AxisFromName(name, &axis)) {
      *why = "unknown pad axis";
    } else if (!(words >> value) || value < -32768 || value > 32767) {
      *why = "pad axis value must be a number from -32768 to 32767";
    } else {
      event->kind = ScriptEvent::Kind::PadAxis;
      event->value = static_cast<int>(axis);
      event->axisValue = static_cast<int>(value);
      return true;
    }
    return false;
  }
  *why = "PAD needs button, axis or unplug";
  return false;
}

}  // namespace

void Enable() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.enabled = true;
  // The offscreen driver draws through EGL on the CPU; sound goes nowhere.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
}

bool IsEnabled() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  if (!s.enabled && EnvironmentAsksForHeadless()) s.enabled = true;
  return s.enabled;
}

namespace {
std::atomic<bool> g_drawing{true};
}

void SetDrawing(bool on) { g_drawing = on; }
bool Drawing() { return g_drawing; }

void Reset() {
  g_drawing = true;
  State& s = S();
  {
    std::lock_guard lock(s.mutex);
    s.openGL = true;
    s.clock = 0;
    s.pendingWork = 0;
    s.clockReadsThisFrame = 0;
    s.gameThread = {};
    s.workSource = nullptr;
    s.frame = -1;
    s.hookCalledFor = -1;
    s.quitAsked = false;
    s.frameHook = nullptr;
    s.dispatchObserver = nullptr;
    s.keys.fill(false);
    s.pad = {};
    s.scheduled.clear();
    s.answers.clear();
    s.boxes.clear();
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  win32::MoveVirtualCursor(-cursor.x, -cursor.y);
}

int CurrentFrame() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.frame;
}

DWORD Now() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.clock;
}

void SetWorkSource(WorkSource source) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.workSource = std::move(source);
}

void SetFrameHook(FrameHook hook) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.frameHook = std::move(hook);
}

void SetDispatchObserver(DispatchObserver observer) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.dispatchObserver = std::move(observer);
}

void SetKey(int virtualKey, bool down) {
  if (virtualKey < 0 || virtualKey > 0xFF) return;
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.keys[virtualKey] = down;
}

void MoveMouse(int dx, int dy) { win32::MoveVirtualCursor(dx, dy); }

void SetPadButton(gamepad::Button button, bool down) {
  const int index = static_cast<int>(button);
  if (index < 0 || index >= static_cast<int>(gamepad::Button::Count)) return;
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.pad.connected = true;
  s.pad.buttons[index] = down;
}

void SetPadAxis(gamepad::Axis axis, int value) {
  const int index = static_cast<int>(axis);
  if (index < 0 || index >= static_cast<int>(gamepad::Axis::Count)) return;
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.pad.connected = true;
  s.pad.axes[index] = std::clamp(value, -32768, 32767);
}

void UnplugPad() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.pad = {};
}

bool CloseFromDesktop(HWND window, DesktopClose how) {
  SDL_Window* sdl = win32::SdlWindowOf(window);
  if (sdl == nullptr) return false;
  SDL_Event event{};
  switch (how) {
    case DesktopClose::CloseBox:
      event.type = SDL_WINDOWEVENT;
      event.window.windowID = SDL_GetWindowID(sdl);
      event.window.event = SDL_WINDOWEVENT_CLOSE;
      break;
    case DesktopClose::AltF4:
      event.type = SDL_KEYDOWN;
      event.key.windowID = SDL_GetWindowID(sdl);
      event.key.state = SDL_PRESSED;
      event.key.keysym.scancode = SDL_SCANCODE_F4;
      event.key.keysym.sym = SDLK_F4;
      event.key.keysym.mod = KMOD_LALT;
      break;
    case DesktopClose::SessionQuit:
      event.type = SDL_QUIT;
      break;
  }
  return SDL_PushEvent(&event) == 1;
}

void QueueAnswer(int frame, Answer answer) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.answers.push_back({std::max(frame, 0), answer});
}

void ClearAnswers() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.answers.clear();
}

std::vector<AskedBox> AskedBoxes() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.boxes;
}

void SetOpenGLAvailable(bool available) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.openGL = available;
}

bool OpenGLAvailable() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.openGL;
}

int VirtualKeyFromName(const std::string& name) {
  static const std::map<std::string, int> named = {
      {"ESCAPE", VK_ESCAPE}, {"RETURN", VK_RETURN}, {"SPACE", VK_SPACE},   {"TAB", VK_TAB},
      {"BACK", VK_BACK},     {"SHIFT", VK_SHIFT},   {"CONTROL", VK_CONTROL}, {"MENU", VK_MENU},
      {"LEFT", VK_LEFT},     {"UP", VK_UP},         {"RIGHT", VK_RIGHT},   {"DOWN", VK_DOWN},
      {"PRIOR", VK_PRIOR},   {"NEXT", VK_NEXT},     {"END", VK_END},       {"HOME", VK_HOME},
      {"INSERT", VK_INSERT}, {"DELETE", VK_DELETE}, {"PAUSE", VK_PAUSE},
  };
  if (name.size() == 1) {
    const char c = name[0];
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    return 0;
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
    const int number = std::atoi(name.c_str() + 1);
    if (number >= 1 && number <= 12 && std::to_string(number) == name.substr(1)) {
      return VK_F1 + number - 1;
    }
    return 0;
  }
  const auto it = named.find(name);
  return it == named.end() ? 0 : it->second;
}

bool ParseScript(const std::string& text, Script* script, std::string* error) {
  Script parsed;
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  std::string padError;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNumber) + ": " + why + ": " + Trim(line);
    return false;
  };
  while (std::getline(lines, line)) {
    ++lineNumber;
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    std::istringstream words(trimmed);
    long frame = -1;
    std::string verb, argument, extra;
    if (!(words >> frame) || frame < 0 || frame > 100000000) return fail("bad frame number");
    if (!(words >> verb)) return fail("missing event");
    ScriptEvent event{ScriptEvent::Kind::Key, static_cast<int>(frame), 0, false};
    if (verb == "KEY") {
      std::string state;
      if (!(words >> argument >> state)) return fail("KEY needs a key and down|up");
      event.value = VirtualKeyFromName(argument);
      if (event.value == 0) return fail("unknown key");
      if (state != "down" && state != "up") return fail("key state must be down or up");
      event.down = state == "down";
    } else if (verb == "MOUSEX") {
      long dx = 0;
      if (!(words >> dx) || dx < -100000 || dx > 100000) return fail("MOUSEX needs a number");
      event.kind = ScriptEvent::Kind::MouseX;
      event.value = static_cast<int>(dx);
    } else if (verb == "ANSWER") {
      if (!(words >> argument) || (argument != "yes" && argument != "no")) {
        return fail("ANSWER needs yes or no");
      }
      event.kind = ScriptEvent::Kind::Answer;
      event.value = argument == "yes" ? 1 : 0;
    } else if (verb == "PAD") {
      if (!ParsePadEvent(words, &event, &padError)) return fail(padError);
    } else {
      return fail("unknown event");
    }
    if (words >> extra) return fail("unexpected text after the event");
    parsed.events.push_back(event);
  }
  *script = std::move(parsed);
  return true;
}

bool LoadScript(const std::string& path, Script* script, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseScript(text.str(), script, error);
}

void InstallScript(const Script& script) {
  // Answers are queued in frame order so that each goes to the first box at or
  // after its own frame.
  std::vector<ScriptEvent> answers;
  {
    State& s = S();
    std::lock_guard lock(s.mutex);
    for (const ScriptEvent& event : script.events) {
      if (event.kind == ScriptEvent::Kind::Answer) {
        answers.push_back(event);
      } else {
        s.scheduled.emplace(event.frame, event);
      }
    }
  }
  std::stable_sort(answers.begin(), answers.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  for (const ScriptEvent& event : answers) {
    QueueAnswer(event.frame, event.value ? Answer::Yes : Answer::No);
  }
}

namespace detail {

bool OnQueueEmpty() {
  State& s = S();
  FrameHook hook;
  bool endRun = false;
  int next = 0;
  {
    std::lock_guard lock(s.mutex);
    next = s.frame + 1;
    if (s.hookCalledFor != next) {
      s.hookCalledFor = next;
      hook = s.frameHook;
      const int limit = EnvironmentFrameLimit();
      endRun = !hook && limit >= 0 && next >= limit && !s.quitAsked;
      if (endRun) s.quitAsked = true;
    }
  }
  if (hook) hook(next);
  if (endRun) QuitFromTheDesktop();
  if (hook || endRun) {
    MSG pending;
    if (PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE)) return false;
  }
  std::lock_guard lock(s.mutex);
  s.frame = next;
  s.clockReadsThisFrame = 0;
  s.gameThread = std::this_thread::get_id();
  s.pendingWork = s.workSource ? s.workSource(next) : 0;
  ApplyScheduledEvents(s, next);
  return true;
}

void OnDispatch(HWND window, UINT message) {
  DispatchObserver observer;
  {
    State& s = S();
    std::lock_guard lock(s.mutex);
    observer = s.dispatchObserver;
  }
  if (observer) observer(window, message);
}

DWORD ReadClock() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  // The frame's first reading on the game thread is its start; its work is
  // done by the time of any later reading.
  if (s.frame >= 0 && std::this_thread::get_id() == s.gameThread) {
    if (s.clockReadsThisFrame > 0) {
      s.clock += s.pendingWork;
      s.pendingWork = 0;
    }
    ++s.clockReadsThisFrame;
  }
  return s.clock;
}

void SleepFor(DWORD milliseconds) {
  {
    State& s = S();
    std::lock_guard lock(s.mutex);
    s.clock += milliseconds;
  }
  // Lets another thread (a scene loader) get on while this one waits.
  std::this_thread::yield();
}

gamepad::State Pad() {
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.pad;
}

bool KeyDown(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 0xFF) return false;
  State& s = S();
  std::lock_guard lock(s.mutex);
  return s.keys[virtualKey];
}

int AnswerBox(const std::string& text, const std::string& caption, UINT type) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  const int frame = std::max(s.frame, 0);
  std::optional<PendingAnswer> chosen;
  auto it = std::find_if(s.answers.begin(), s.answers.end(),
                         [frame](const PendingAnswer& a) { return a.frame <= frame; });
  if (it != s.answers.end()) {
    chosen = *it;
    s.answers.erase(it);
  }
  const int result = ResultFor(type, chosen ? &*chosen : nullptr);
  s.boxes.push_back({frame, text, caption, type, result});
  if (EnvironmentFrameLimit() >= 0) {
    std::fprintf(stderr, "message box in frame %d: \"%s\" \"%s\" answered %d\n", frame,
                 caption.c_str(), text.c_str(), result);
  }
  return result;
}

}  // namespace detail
}  // namespace glomp::headless
