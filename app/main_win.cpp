// The program's entry point. The progress window and the launch arrive with
// the launch task; for now the program starts and ends with exit code 0.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
