// The few entries of gdiplus.dll's flat interface that the program calls.
// Declared here rather than through MinGW's class headers, which drag in the
// whole C++ wrapper layer for the sake of eight functions.
#pragma once

#include <windows.h>

extern "C" {

typedef int GpStatus;  // 0 is Ok
typedef int GpPixelFormat;
typedef DWORD GpArgb;
struct GpGraphics;
struct GpImage;
struct GpBitmap;  // a GpImage

struct GdiplusStartupInputFlat {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};

inline constexpr GpPixelFormat kPixelFormat32bppARGB = 0x0026200A;

GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInputFlat* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);

GpStatus WINAPI GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus WINAPI GdipDeleteGraphics(GpGraphics* graphics);
GpStatus WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, GpPixelFormat format, BYTE* scan0,
                                          GpBitmap** bitmap);
GpStatus WINAPI GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, GpArgb colour);
GpStatus WINAPI GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, GpArgb* colour);
GpStatus WINAPI GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height);
GpStatus WINAPI GdipDisposeImage(GpImage* image);

}  // extern "C"
