#pragma once

namespace nightjar::app {

/// What the program is busy with. Whether work may start is decided from this, never from
/// the state of a control.
enum class RunState {
    Idle,
    Scanning,
    /// A scan whose pause box is open.
    Paused,
    Removing,
    Updating,
    /// A shield's alert is open and its check waits for the answer.
    AlertOpen,
};

}  // namespace nightjar::app
