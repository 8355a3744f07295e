// Start-up: the mode letter from the first argument, the windows of that mode,
// the message loop. The exit code is 0 in every mode.
#include <windows.h>

#include <float.h>

#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "engine/pictures/surfaces.h"
#include "host/command_line.h"
#include "host/settings_store.h"
#include "win32/Unit1.h"
#include "win32/Unit2.h"
#include "win32/forms/forms.h"
#include "win32/funcs.h"
#include "win32/imaging_win32.h"
#include "win32/monitor_form.h"
#include "win32/registry_win32.h"

using namespace nivora;
using namespace nivora::win32;

namespace {

// The arguments after the program's own name.
std::vector<std::string> ProgramArguments() {
    std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

// What the general error handler makes of an exception. Memory that ran out
// leaves no picture to trust: the box says so (a picture's own error with its
// size and what it needs), and then the program ends through its message loop.
ErrorVerdict ReadError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const PictureMemoryError& e) {
        return {e.what(), true};
    } catch (const std::bad_alloc&) {
        return {"Not enough memory", true};
    } catch (const std::system_error& e) {
        return {e.what(), true};  // a thread that could not be started: no picture either
    } catch (const std::exception& e) {
        return {e.what(), false};
    } catch (...) {
        return {"Unknown error", false};
    }
}

// What this program draws with: the build's imaging, or GDI+ in the tests'
// second program.
ImagingBackend ProgramBackend() {
#if defined(NIVORA_PROGRAM_GDIPLUS)
    return ImagingBackend::GdiPlus;
#else
    return DefaultBackend();
#endif
}

void StartUp(TApplication& Application, WindowsImaging& imaging) {
    Win32Registry registry;  // outlives the windows, which run in here

    const std::vector<std::string> arguments = ProgramArguments();
    const SaverMode mode = ModeFromLetter(ModeLetter(arguments));
    Application.Title = "Nivora Glade Screensaver";

    // The mode's window, owned here: it goes once the message loop has ended,
    // and with it every picture's job and the worker that runs them, while
    // the imaging they draw with is still there.
    std::unique_ptr<TForm> window;
    switch (mode) {
        case SaverMode::FullScreen:
            window = std::make_unique<TForm1>(Application, registry, mode, PrimaryScreenSize(),
                                              imaging.Drawing(ProgramBackend()));
            break;
        case SaverMode::Settings:
            // creates the saver window above it, and owns it
            window = std::make_unique<TForm2>(Application, registry, imaging.Drawing(ProgramBackend()));
            break;
        case SaverMode::Preview:
            // its worker is joined before it returns
            RunPreviewHost(arguments.size() > 1 ? arguments[1] : std::string(), registry,
                           imaging.Drawing(ProgramBackend()));
            return;  // no main window: the program ends with the host
        case SaverMode::Nothing:
            break;
    }
    Application.Run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Invalid operation, division by zero and overflow stay masked, as every
    // other module in the process (graphics drivers, GDI+, input methods)
    // expects. The generators never raise them: the trap tests run them with
    // the traps unmasked.
    _controlfp(_MCW_EM, _MCW_EM);
    TApplication application;  // outlives the windows, which refer to it
    application.ReadError = ReadError;
    {
        WindowsImaging imaging;  // GDI+, when it is the backend, runs until the windows are gone
        application.Guarded([&application, &imaging] { StartUp(application, imaging); });
    }
    return 0;
}
