#pragma once

// The stand-in for the account and rewrite web services, for tests and for
// running Mivo on one machine, serving only the user who started it
// (own_user_server.hpp). Besides the service's own endpoints it serves
// a sign-in page (/dev/signin) and, for tests, a control surface under
// /dev/: the request log (GET, DELETE /dev/requests), scripted failures
// (POST, DELETE /dev/script) and settings (POST /dev/config {"expires_in",
// "callback_port", "update_version", "update_notes_url"}). The control
// surface is off unless a control secret file is asked for, and then answers
// only requests that present the secret (X-Mivo-Stub-Secret): all the user's
// programs reach its port. It also serves Mivo's update feed at
// /update/feed.json: {"version", "notes_url"} once a version is set, else
// 404.
// The log (request_log.hpp) holds the newest requests outside /dev/ (sign-in
// pages included), recorded before any scripted delay or drop, with tokens
// only as fingerprints, and a body of more than 256 KiB only as its size.

#include <expected>
#include <filesystem>
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
    // Writes the control secret file and loads the account book, when asked
    // for; a complaint when the secret cannot be written.
    std::optional<std::string> openFiles();
    // Binds the listening socket on 127.0.0.1 and holds the same port on
    // [::1]; the port in use, or why not.
    std::expected<int, std::string> bind();
    // Why the stand-in cannot tell its user's connections from others', so
    // that it must not serve; call after bind().
    std::optional<std::string> whyUsersCannotBeToldApart();
    // Serves until stop(); call after bind().
    void run();
    void stop();

  private:
    void keepAccountsIn(const std::filesystem::path& file);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mivo::stub
