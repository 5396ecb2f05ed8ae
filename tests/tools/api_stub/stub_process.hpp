#pragma once

// One mivo-api-stub process for a test: started on a free loopback port with
// its control routes on, stopped when the object goes. Tests steer it
// through its /dev/ endpoints and read its request log there, presenting
// the secret the stub wrote into a private folder of the test's own.

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace mivo::testing {

struct StubReply {
    int status = 0;
    std::string body;
    std::map<std::string, std::string> headers;
};

class StubProcess {
  public:
    // Extra command-line options after "--port 0". Throws when the stub does
    // not come up.
    explicit StubProcess(std::vector<std::string> options = {});
    ~StubProcess();
    StubProcess(const StubProcess&) = delete;
    StubProcess& operator=(const StubProcess&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>", no trailing slash.
    std::string baseURL() const;

    // Every logged request, oldest first.
    nlohmann::json requests() const;
    // The logged requests of one path.
    std::vector<nlohmann::json> requestsTo(const std::string& path) const;
    void clearRequests() const;
    // Replaces the scripted failures; throws when the stub refuses the script.
    void script(const nlohmann::json& script) const;
    void config(const nlohmann::json& settings) const;

    // One plain HTTP request, for tests of the stub itself, with the control
    // secret; nothing when the connection failed.
    std::optional<StubReply> send(const std::string& method, const std::string& path,
                                  const std::string& body = {},
                                  const std::map<std::string, std::string>& headers = {}) const;
    // The same as any other process of the machine would send it: without
    // the secret.
    std::optional<StubReply> sendAsStranger(
        const std::string& method, const std::string& path, const std::string& body = {},
        const std::map<std::string, std::string>& headers = {}) const;

    // How the request log shows `token`.
    static std::string inLog(const std::string& token);
    // The folder (0700) the stub's secret lives in, removed with the object.
    const std::string& folder() const { return folder_; }
    // The most memory the stub has held at once so far (its peak resident
    // set), in KiB.
    std::size_t peakMemoryKiB() const;
    // The memory it holds now (its resident set), in KiB.
    std::size_t residentMemoryKiB() const;

  private:
    std::optional<StubReply> request(const std::string& method, const std::string& path,
                                     const std::string& body,
                                     const std::map<std::string, std::string>& headers,
                                     bool withSecret) const;

    std::size_t statusKiB(const std::string& field) const;

    pid_t pid_ = -1;
    int port_ = 0;
    std::string folder_;
    std::string secret_;
};

// How a stub started through `launcher` (a program that runs the command
// line after it) ended its start: it served (and was stopped after a few
// seconds), or it ended with `status` and said `said` on standard error.
struct StubStart {
    bool served = false;
    int status = 0;
    std::string said;
};
StubStart startStubThrough(const std::vector<std::string>& launcher);

}  // namespace mivo::testing
