// MessageBoxA over SDL_ShowMessageBox. The game's texts are Shift-JIS bytes
// (the Japanese ANSI code page); SDL wants UTF-8.
#include <SDL.h>
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <windows.h>

#include "glomp/headless.h"
#include "win32/internal.h"
#include "win32/sdl_window.h"

namespace glomp::win32 {

std::string ShiftJisToUtf8(const char* text) {
  if (text == nullptr) return {};
  static const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  char* in = const_cast<char*>(text);
  size_t inLeft = std::strlen(text);
  std::vector<char> buffer(inLeft * 4 + 16);
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), outPtr - buffer.data());
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // A byte that is no Shift-JIS character (or a lead byte cut off at the end).
    out += kReplacement;
    ++in;
    --inLeft;
  }
  iconv_close(converter);
  return out;
}

namespace {

struct Button {
  int id;
  const char* label;
};

std::vector<Button> ButtonsFor(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "キャンセル"}};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, "中止"}, {IDRETRY, "再試行"}, {IDIGNORE, "無視"}};
    case MB_YESNOCANCEL: return {{IDYES, "はい"}, {IDNO, "いいえ"}, {IDCANCEL, "キャンセル"}};
    case MB_YESNO: return {{IDYES, "はい"}, {IDNO, "いいえ"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "再試行"}, {IDCANCEL, "キャンセル"}};
    default: return {{IDOK, "OK"}};
  }
}

// The answer when the box is closed without a button: Cancel, No, or the only button.
int EscapeAnswer(const std::vector<Button>& buttons) {
  for (const Button& b : buttons) {
    if (b.id == IDCANCEL) return IDCANCEL;
  }
  for (const Button& b : buttons) {
    if (b.id == IDNO) return IDNO;
  }
  return buttons.size() == 1 ? buttons.front().id : 0;
}

Uint32 SdlIconFlags(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
  }
}

}  // namespace
}  // namespace glomp::win32

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  using namespace glomp::win32;
  const std::string utf8Text = ShiftJisToUtf8(text);
  // A null caption is "Error" on Windows; an empty one stays empty.
  const std::string utf8Caption = caption ? ShiftJisToUtf8(caption) : "エラー";
  if (glomp::headless::IsEnabled()) {
    return glomp::headless::detail::AnswerBox(utf8Text, utf8Caption, type);
  }

  const std::vector<Button> buttons = ButtonsFor(type);
  const size_t defaultIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
  const int escapeId = EscapeAnswer(buttons);
  std::vector<SDL_MessageBoxButtonData> sdlButtons;
  for (size_t i = 0; i < buttons.size(); ++i) {
    Uint32 flags = 0;
    if (i == defaultIndex) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (buttons[i].id == escapeId) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    sdlButtons.push_back({flags, buttons[i].id, buttons[i].label});
  }
  SDL_MessageBoxData data{};
  data.flags = SdlIconFlags(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  // A box is tied to its owner only once the owner is on screen; the start-up
  // question comes before the window is shown.
  SDL_Window* parent = SdlWindowOf(owner);
  data.window = parent && (SDL_GetWindowFlags(parent) & SDL_WINDOW_SHOWN) ? parent : nullptr;
  data.title = utf8Caption.c_str();
  data.message = utf8Text.c_str();
  data.numbuttons = static_cast<int>(sdlButtons.size());
  data.buttons = sdlButtons.data();

  SuspendPointerCapture();
  int pressed = -1;
  const int status = SDL_ShowMessageBox(&data, &pressed);
  ResumePointerCapture();
  if (status != 0) return 0;  // no box could be shown
  return pressed < 0 ? escapeId : pressed;
}
