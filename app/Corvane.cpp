// Corvane: the program entry. Builds the windows in their order and runs
// the message loop until the main window closes.
#include <windows.h>

#include "app/Startup.h"
#include "framework/forms/Forms.h"
#include "gif/GifPicture.h"
#include "skin/SkinManager.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    forms::TApplication application;
    try {
        application.Initialize();
        // GIF pictures load through the picture registry from here until the
        // loop ends (a registrar inside the library would not be linked in).
        gif::TGIFImageRegistration gifPictures;
        app::CreateProgramWindows(application);
        app::ShowStartupTips();
        application.Run();
    } catch (const std::exception& e) {
        // A window that cannot be built (the conversion control is not
        // registered) ends the program.
        skin::DestroySkinManager();
        application.ShowException(e);
        return 1;
    } catch (...) {
        skin::DestroySkinManager();
        application.ShowException(forms::Exception("An unexpected error occurred"));
        return 1;
    }
    // The skin manager goes before the windows: its hook comes off and
    // every window has its own procedure back.
    skin::DestroySkinManager();
    return 0;
}
