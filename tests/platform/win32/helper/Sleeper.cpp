// Sleeps until killed: by default for at most two minutes, so that a crashed test leaves
// nothing behind; scripts/wine-test passes a longer time to keep its Wine session up.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    unsigned long ms = 120000;
    if (argc > 1) {
        ms = std::strtoul(argv[1], nullptr, 10);
    }
    Sleep(static_cast<DWORD>(ms));
    return 3;
}
