// mivo-api-stub: the stand-in web service. Prints the port it listens on as
// the first line of its output, so a test that asked for port 0 can find it.

#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "api_stub.hpp"

int main(int argc, char** argv) {
    // A client that hangs up mid-answer must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    // Request bodies of up to a megabyte go back to the system when their
    // request is done. Left to itself, the allocator raises this threshold
    // after the first such free and keeps every later body in the cache of
    // whichever of the many workers read it; and it gives many workers an
    // arena each, every one keeping what it freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_ARENA_MAX, 2);
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto options = mivo::stub::parseStubOptions(args);
    if (!options) {
        std::fprintf(stderr, "mivo-api-stub: %s\n%s\n", options.error().c_str(),
                     mivo::stub::kStubUsage);
        return 2;
    }
    mivo::stub::ApiStub stub(*options);
    if (auto complaint = stub.loadScriptFile()) {
        std::fprintf(stderr, "mivo-api-stub: script: %s\n", complaint->c_str());
        return 2;
    }
    if (auto complaint = stub.openFiles()) {
        std::fprintf(stderr, "mivo-api-stub: %s\n", complaint->c_str());
        return 2;
    }
    const auto port = stub.bind();
    if (!port) {
        std::fprintf(stderr, "mivo-api-stub: %s\n", port.error().c_str());
        return 1;
    }
    // It serves only the user who started it: where it cannot tell who
    // connects, it would serve no one, or everyone.
    if (auto why = stub.whyUsersCannotBeToldApart()) {
        std::fprintf(stderr,
                     "mivo-api-stub: cannot tell which user a connection comes from: %s. It "
                     "serves only the user who started it, so it does not start.\n",
                     why->c_str());
        return 1;
    }
    std::printf("%d\n", *port);
    std::fflush(stdout);
    std::fprintf(stderr, "mivo-api-stub: serving http://%s:%d\n", options->host.c_str(), *port);
    stub.run();
    return 0;
}
