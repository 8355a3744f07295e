// Start-up: the mode letter from the first argument, the windows of that mode,
// the message loop. The exit code is 0 in every mode.
#include <windows.h>

#include <float.h>

#include <string>
#include <vector>

#include "engine/command_line.h"
#include "engine/surfaces.h"
#include "engine/settings_store.h"
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
    } catch (const std::exception& e) {
        return {e.what(), false};
    } catch (...) {
        return {"Unknown error", false};
    }
}

void StartUp(TApplication& Application, WindowsImaging& imaging) {
    Win32Registry registry;  // outlives the message loop, which runs in here

    const std::vector<std::string> arguments = ProgramArguments();
    const SaverMode mode = ModeFromLetter(ModeLetter(arguments));
    Application.Title = "Nivora Glade Screensaver";

    switch (mode) {
        case SaverMode::FullScreen:
            // lives until the process ends
            new TForm1(Application, registry, mode, PrimaryScreenSize(), imaging.Drawing(DefaultBackend()));
            break;
        case SaverMode::Settings:
            // creates the saver window above it; lives until the process ends
            new TForm2(Application, registry, imaging.Drawing(DefaultBackend()));
            break;
        case SaverMode::Preview:
            RunPreviewHost(arguments.size() > 1 ? arguments[1] : std::string(), registry,
                           imaging.Drawing(DefaultBackend()));
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
    // Like the forms, which refer to it, the application lives until the
    // process ends.
    auto& application = *new TApplication;
    application.ReadError = ReadError;
    {
        WindowsImaging imaging;  // GDI+, when it is the backend, runs until the message loop ends
        application.Guarded([&application, &imaging] { StartUp(application, imaging); });
    }
    return 0;
}
