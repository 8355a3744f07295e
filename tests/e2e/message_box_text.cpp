// Prints the text of a message box found by its caption, so that a test can
// read what the box says (the text is drawn, not visible to X11 tools).
//   message_box_text.exe CAPTION
// Prints the text on one line and exits 0, or exits 1 when no such box exists.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    const char* caption;
    HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    char caption[256] = {};
    char className[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && search->caption == std::string(caption)) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    Search search{argv[1]};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) return 1;
    // A message box keeps its text in the static control with id 0xFFFF.
    char text[1024] = {};
    GetDlgItemTextA(search.box, 0xFFFF, text, sizeof text);
    std::printf("%s\n", text);
    return 0;
}
