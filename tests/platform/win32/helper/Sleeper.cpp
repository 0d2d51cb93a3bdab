// Sleeps until killed, for at most two minutes so that a crashed test leaves nothing behind.
#include <windows.h>

int main() {
    Sleep(120000);
    return 3;
}
