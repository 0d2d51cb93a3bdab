#include "cli/CliUserInterface.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#include "app/ControlNames.h"
#include "cli/CliText.h"
#include "util/Text.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" {
// The first Ctrl+C asks the scan to stop; the handler then steps aside so that a second
// one ends the program.
static void nightjarCliOnInterrupt(int) {
    g_interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}
}

constexpr std::size_t kStatusWidth = 100;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

namespace nightjar::cli {

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

CliUserInterface::CliUserInterface(std::optional<std::string> path, bool progress)
    : path_(std::move(path)), progress_(progress) {}

CliUserInterface::~CliUserInterface() {
    clearProgress();
    releaseInterrupt();
}

void CliUserInterface::catchInterrupt() {
    if (!caught_) {
        g_interrupted = 0;
        std::signal(SIGINT, nightjarCliOnInterrupt);
        caught_ = true;
    }
}

void CliUserInterface::releaseInterrupt() {
    if (caught_) {
        std::signal(SIGINT, SIG_DFL);
        caught_ = false;
    }
}

app::MsgAnswer CliUserInterface::messageBox(std::string_view text, std::string_view /*title*/,
                                            app::MsgButtons buttons, app::MsgIcon /*icon*/) {
    clearProgress();
    std::cerr << text::replaceAll(text, "\r\n", "\n") << '\n';
    // Nothing is ever consented to from here.
    switch (buttons) {
        case app::MsgButtons::Ok:
            return app::MsgAnswer::Ok;
        case app::MsgButtons::OkCancel:
            return app::MsgAnswer::Cancel;
        case app::MsgButtons::YesNo:
            return app::MsgAnswer::No;
        case app::MsgButtons::AbortRetryIgnore:
            return app::MsgAnswer::Ignore;
    }
    return app::MsgAnswer::Cancel;
}

void CliUserInterface::setStatusText(app::ControlName control, std::string_view text) {
    if (!progress_ || control != app::control::lblStatus) {
        return;
    }
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    line = text::replaceAll(line, "  ", " ");
    if (line.size() > kStatusWidth) {
        line = "..." + line.substr(line.size() - (kStatusWidth - 3));
    }
    status_ = std::move(line);
    draw(false);
}

void CliUserInterface::setProgress(app::ControlName control, int value) {
    if (progress_ && control == app::control::pb2) {
        percent_ = value;
        draw(false);
    }
}

void CliUserInterface::Pump() {
    if (g_interrupted != 0 && stop_) {
        stop_();
    }
}

void CliUserInterface::draw(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && lineShown_ && now - lastDraw_ < kRedrawEvery) {
        return;
    }
    lastDraw_ = now;
    std::string out = "\r" + std::to_string(percent_) + "% " + status_;
    out += "\x1b[K";
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
    lineShown_ = true;
}

void CliUserInterface::clearProgress() {
    if (lineShown_) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        lineShown_ = false;
    }
}

}  // namespace nightjar::cli
