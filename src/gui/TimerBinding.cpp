#include "gui/TimerBinding.h"

#include <algorithm>

namespace nightjar::gui {

bool TimerBinding::create() {
    return createWindow({L"NightjarTimers"}, 0, 0, L"", RECT{}, HWND_MESSAGE);
}

void TimerBinding::add(app::Timer& timer) {
    entries_.push_back({&timer});
    sync();
}

void TimerBinding::sync() {
    if (hwnd() == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        const UINT_PTR id = i + 1;
        const int wanted = e.timer->enabled() ? std::max(1, e.timer->interval()) : 0;
        if (wanted == e.armed) {
            continue;
        }
        if (wanted == 0) {
            KillTimer(hwnd(), id);
        } else {
            SetTimer(hwnd(), id, static_cast<UINT>(wanted), nullptr);
        }
        e.armed = wanted;
    }
}

void TimerBinding::onTimer(UINT_PTR id) {
    if (ticking_ || id == 0 || id > entries_.size()) {
        return;
    }
    ticking_ = true;
    entries_[id - 1].timer->tick();
    ticking_ = false;
    sync();
}

}  // namespace nightjar::gui
