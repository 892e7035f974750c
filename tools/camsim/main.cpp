// camsim: a network camera simulator for developing and testing camera clients.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/camsim/Options.h"
#include "tools/camsim/Server.h"

namespace {

bool WritePortFile(const std::string& fileName, int port) {
    // Written under another name and renamed, so a reader never sees half a number.
    const std::string temporary = fileName + ".tmp";
    {
        std::ofstream out(temporary);
        out << port << "\n";
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), fileName.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    std::optional<camsim::Options> options =
        camsim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "camsim: " << error << "\n(camsim --help lists the options)\n";
        return 2;
    }
    if (options->help) {
        std::cout << camsim::UsageText();
        return 0;
    }

    // Every thread inherits this mask; the main thread takes the signals with sigwait.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    camsim::Server server(*options);
    if (!server.Start(error)) {
        std::cerr << "camsim: " << error << "\n";
        return 1;
    }
    std::cout << "camsim listening on " << options->bindAddress << ":" << server.Port() << std::endl;
    if (!options->portFile.empty() && !WritePortFile(options->portFile, server.Port())) {
        std::cerr << "camsim: cannot write " << options->portFile << "\n";
        return 1;
    }
    int received = 0;
    sigwait(&signals, &received);
    server.Stop();
    return 0;
}
