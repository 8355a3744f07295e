// A stand-in for the system's screen-saver password module, PASSWORD.CPL.
// VerifyScreenSavePwd answers from HKCU\Software\NivoraGladeTest
// "PasswordAnswer" (0 when absent) and records each call there: the count in
// "PasswordCalls" and the class of the window it was given in
// "PasswordWindowClass".
#include <windows.h>

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND window) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\NivoraGladeTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return FALSE;
    DWORD answer = 0, calls = 0, size = sizeof(DWORD);
    RegQueryValueExA(key, "PasswordAnswer", nullptr, nullptr, reinterpret_cast<BYTE*>(&answer), &size);
    size = sizeof(DWORD);
    RegQueryValueExA(key, "PasswordCalls", nullptr, nullptr, reinterpret_cast<BYTE*>(&calls), &size);
    ++calls;
    RegSetValueExA(key, "PasswordCalls", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls), sizeof calls);
    char name[128] = "none";
    if (window) GetClassNameA(window, name, sizeof name);
    RegSetValueExA(key, "PasswordWindowClass", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                   static_cast<DWORD>(lstrlenA(name) + 1));
    RegCloseKey(key);
    return answer != 0;
}
