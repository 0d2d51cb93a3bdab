#include "ServeCommand.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "AnswerSigner.h"
#include "DefinitionStore.h"
#include "RequestHandler.h"

namespace nightjar::server {

namespace {

// Written aside and renamed, so a reader never sees a half-written port.
bool writePortFile(const std::string& path, int port) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << port << "\n";
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    return !ec;
}

}  // namespace

ServeCommand::ServeCommand(std::string dbPath, ServerOptions options, std::string portFile,
                           std::chrono::seconds handoffWindow, std::string signingKeyPath)
    : dbPath_(std::move(dbPath)),
      options_(std::move(options)),
      portFile_(std::move(portFile)),
      handoffWindow_(handoffWindow),
      signingKeyPath_(std::move(signingKeyPath)) {}

int ServeCommand::run() {
    std::string error;
    std::unique_ptr<AnswerSigner> signer;
    if (!signingKeyPath_.empty()) {
        signer = AnswerSigner::load(signingKeyPath_, error);
        if (!signer) {
            std::cerr << "cannot use the signing key: " << error << "\n";
            return 2;
        }
    }

    // The signals are taken by one waiting thread; every other thread (the workers
    // included, which inherit the mask) never sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<DefinitionStore> store = DefinitionStore::open(dbPath_, error);
    if (!store) {
        std::cerr << "cannot open " << dbPath_ << ": " << error << "\n";
        return 1;
    }
    RequestHandler handler(*store, handoffWindow_, signer.get());
    DefinitionServer server(handler, options_, std::cerr);
    if (!server.bind(error)) {
        std::cerr << error << "\n";
        return 1;
    }
    if (!portFile_.empty() && !writePortFile(portFile_, server.port())) {
        std::cerr << "cannot write " << portFile_ << "\n";
        return 1;
    }
    std::cout << "listening on " << options_.host << ":" << server.port() << std::endl;

    std::atomic<bool> signalled{false};
    std::thread waiter([&] {
        int sig = 0;
        sigwait(&signals, &sig);
        signalled = true;
        server.stop();
    });
    const bool served = server.listen();
    if (!signalled) {
        // Serving ended on its own: wake the waiter with the signal it waits for (it takes it
        // through sigwait, so this ends its wait, not the thread).
        // NOLINTNEXTLINE(bugprone-bad-signal-to-kill-thread)
        pthread_kill(waiter.native_handle(), SIGTERM);
    }
    waiter.join();
    std::cerr << "stopped\n";
    return served || signalled ? 0 : 1;
}

}  // namespace nightjar::server
