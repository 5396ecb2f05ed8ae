#pragma once

// The stand-in for the account and rewrite web services, for tests and for
// running Mivo on one machine. Besides the service's own endpoints it serves
// a sign-in page (/dev/signin) and a control surface under /dev/: the
// request log (GET, DELETE /dev/requests), scripted failures (POST, DELETE
// /dev/script) and settings (POST /dev/config {"expires_in", "callback_port",
// "update_version", "update_notes_url"}). It also serves Mivo's update feed
// at /update/feed.json: {"version", "notes_url"} once a version is set, else
// 404.
// The log holds every request outside /dev/ (sign-in pages included), each
// {"method", "path", "target", "headers" (names in lower case), "body"},
// recorded before any scripted delay or drop.

#include <memory>
#include <optional>
#include <string>

#include "stub_options.hpp"

namespace mivo::stub {

class ApiStub {
  public:
    explicit ApiStub(StubOptions options);
    ~ApiStub();
    ApiStub(const ApiStub&) = delete;
    ApiStub& operator=(const ApiStub&) = delete;

    // Loads the script file, if any; a complaint when it does not load.
    std::optional<std::string> loadScriptFile();
    // Binds the listening socket; the port in use, or nothing.
    std::optional<int> bind();
    // Serves until stop(); call after bind().
    void run();
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mivo::stub
