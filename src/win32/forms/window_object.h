// The one way a window reaches the C++ object behind it. The object hands
// itself to CreateWindowEx as the creation parameter; the window procedure
// keeps it in the window's user data at WM_NCCREATE, the first message that
// carries it. From then on every message, those of the creation included,
// goes to the object's HandleMessage, and Window() is valid before
// CreateWindowEx returns. The few messages before WM_NCCREATE (a
// WM_GETMINMAXINFO) and those after Detach go to DefWindowProc.
//
// Object derives from WindowObject<Object> and has
//     LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
// reachable from this class (public, or a friend of it).
#pragma once

#include <windows.h>

namespace nivora::win32 {

template <class Object>
class WindowObject {
public:
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    // The object of `window` when the window is of a class registered with
    // this WindowProc, or nullptr.
    static Object* FromWindow(HWND window) {
        if (!window || reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != &WindowProc)
            return nullptr;
        return reinterpret_cast<Object*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }

protected:
    WindowObject() = default;
    ~WindowObject() = default;

    HWND Window() const { return window_; }

    // The lpfnWndProc of every window class whose windows are Objects.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        Object* object = nullptr;
        if (message == WM_NCCREATE) {
            object = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
            static_cast<WindowObject*>(object)->window_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        } else {
            object = reinterpret_cast<Object*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        }
        if (!object) return DefWindowProcA(window, message, wParam, lParam);
        return object->HandleMessage(message, wParam, lParam);
    }

    // Creates the window of this object (a class registered with WindowProc);
    // nullptr when the system refuses it.
    HWND Create(DWORD exStyle, const char* className, const char* title, DWORD style, int left, int top, int width,
                int height, HWND parent) {
        window_ = CreateWindowExA(exStyle, className, title, style, left, top, width, height, parent, nullptr,
                                  GetModuleHandleA(nullptr), static_cast<Object*>(this));
        return window_;
    }

    // The window no longer reaches this object; it may outlive it.
    void Detach() {
        if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    }

private:
    HWND window_ = nullptr;
};

}  // namespace nivora::win32
