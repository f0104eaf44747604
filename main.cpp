// glomp! — entry point. The application object does everything; see app/.
#include <windows.h>

#include "app/Application.h"

int main() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT); }
