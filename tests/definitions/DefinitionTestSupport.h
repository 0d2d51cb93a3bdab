#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "definitions/LineCodec.h"
#include "definitions/LoadObserver.h"

namespace nightjar::definitions::testing {

/// A definition file's content: each line scrambled, then `eol`; the last line without a
/// break when `finalBreak` is false.
inline std::string scrambledFile(const std::vector<std::string>& lines,
                                 std::string_view eol = "\r\n", bool finalBreak = true) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += ScrambleLine(lines[i]);
        if (finalBreak || i + 1 < lines.size()) {
            out += eol;
        }
    }
    return out;
}

/// Records what a loader tells the program around it; asks to stop after `stopAfter`
/// yields (never when negative).
class RecordingObserver : public LoadObserver {
  public:
    explicit RecordingObserver(int stopAfter = -1) : stopAfter_(stopAfter) {}
    bool stopRequested() const override { return stopAfter_ >= 0 && pumps >= stopAfter_; }
    void pump() override { ++pumps; }
    void loadingStarted(std::string_view status) override {
        ++started;
        lastStatus = std::string(status);
    }
    void loadingFinished() override { ++finished; }

    int pumps = 0;
    int started = 0;
    int finished = 0;
    std::string lastStatus;

  private:
    int stopAfter_;
};

}  // namespace nightjar::definitions::testing
