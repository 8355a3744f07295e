// Does to a window what Windows does when something that covered part of it
// goes away: the uncovered rectangle is invalidated with its background to be
// erased, so that the window receives WM_ERASEBKGND and WM_PAINT for it.
// Under Wine an X window moved away is repainted from Wine's own copy of the
// window and the program is never asked, so a test must ask this way.
//   uncover.exe CAPTION LEFT TOP RIGHT BOTTOM
// Exits 0 once the window has repainted, 1 when there is no such window.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    HWND window = FindWindowA(nullptr, argv[1]);
    if (!window) return 1;
    RECT area{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&area), 2);
    // RDW_UPDATENOW sends the erase and the paint to the window's thread and
    // waits for them.
    return RedrawWindow(window, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW) ? 0 : 1;
}
