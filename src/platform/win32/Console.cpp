#include "platform/Console.h"

#include <windows.h>

namespace nightjar::platform {

void PrepareConsoleForUtf8() {
    SetConsoleOutputCP(CP_UTF8);
}

bool ConsoleClosesOnExit() {
    // A console opened by a command prompt also lists the prompt's process.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void WaitForKeyPress() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in == INVALID_HANDLE_VALUE || in == nullptr) {
        return;
    }
    FlushConsoleInputBuffer(in);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}

}  // namespace nightjar::platform
