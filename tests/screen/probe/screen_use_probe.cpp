// Calls screen::Use once in a fresh process, so the environment it finds is
// the one it was started with, and prints what came of it: "open" and the
// video driver, or "closed" and LastError.
#include <screen/screen.h>

#include <SDL.h>

#include <cstdio>

int main()
{
    if (!screen::Use()) {
        std::printf("closed\n%s\n", screen::LastError());
        return 0;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    std::printf("open\n%s\n", driver ? driver : "");
    screen::Leave();
    return 0;
}
