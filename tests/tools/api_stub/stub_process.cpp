#include "stub_process.hpp"

#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "token_digest.hpp"

extern char** environ;

namespace mivo::testing {

namespace {

// The first line the stub prints: its port. Bounded, so a stub that never
// comes up fails the test instead of hanging it.
std::string readFirstLine(int fd, int timeoutMs) {
    std::string line;
    char c = 0;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            throw std::runtime_error("mivo-api-stub did not print its port");
        if (read(fd, &c, 1) != 1)
            throw std::runtime_error("mivo-api-stub ended before printing its port");
        if (c == '\n')
            return line;
        line += c;
    }
}

}  // namespace

StubProcess::StubProcess(std::vector<std::string> options) {
    std::string folder = (std::filesystem::temp_directory_path() / "mivo-stub.XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        throw std::runtime_error("cannot make a folder for the stub's secret");
    folder_ = folder;
    const std::string secretFile = folder_ + "/control-secret";
    std::vector<std::string> args{MIVO_API_STUB_PATH, "--port", "0", "--control-secret-file",
                                  secretFile};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        std::filesystem::remove_all(folder_);
        throw std::runtime_error("cannot start " + args[0]);
    }
    try {
        port_ = std::stoi(readFirstLine(out[0], 30'000));
    } catch (...) {
        close(out[0]);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        std::filesystem::remove_all(folder_);
        throw;
    }
    close(out[0]);
    // The stub writes its secret before it prints its port.
    std::ifstream in(secretFile);
    std::ostringstream text;
    text << in.rdbuf();
    secret_ = text.str();
}

StubProcess::~StubProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string StubProcess::inLog(const std::string& token) {
    return stub::loggedToken(token);
}

std::string StubProcess::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::optional<StubReply> StubProcess::send(
    const std::string& method, const std::string& path, const std::string& body,
    const std::map<std::string, std::string>& headers) const {
    return request(method, path, body, headers, true);
}

std::optional<StubReply> StubProcess::sendAsStranger(
    const std::string& method, const std::string& path, const std::string& body,
    const std::map<std::string, std::string>& headers) const {
    return request(method, path, body, headers, false);
}

std::optional<StubReply> StubProcess::request(const std::string& method, const std::string& path,
                                              const std::string& body,
                                              const std::map<std::string, std::string>& headers,
                                              bool withSecret) const {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(5);
    client.set_read_timeout(30);
    httplib::Headers h;
    if (withSecret)
        h.emplace("X-Mivo-Stub-Secret", secret_);
    for (const auto& [name, value] : headers)
        h.emplace(name, value);
    const std::string contentType =
        headers.contains("Content-Type") ? headers.at("Content-Type") : "application/json";
    httplib::Result result = method == "GET"      ? client.Get(path, h)
                             : method == "HEAD"   ? client.Head(path, h)
                             : method == "DELETE" ? client.Delete(path, h, body, contentType)
                             : method == "PUT"    ? client.Put(path, h, body, contentType)
                                                  : client.Post(path, h, body, contentType);
    if (!result)
        return std::nullopt;
    StubReply reply{result->status, result->body, {}};
    for (const auto& [name, value] : result->headers)
        reply.headers[name] = value;
    return reply;
}

std::size_t StubProcess::statusKiB(const std::string& field) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":"))
            return std::stoul(line.substr(field.size() + 1));
    }
    return 0;
}

std::size_t StubProcess::peakMemoryKiB() const {
    return statusKiB("VmHWM");
}

std::size_t StubProcess::residentMemoryKiB() const {
    return statusKiB("VmRSS");
}

StubStart startStubThrough(const std::vector<std::string>& launcher) {
    const auto said = std::filesystem::temp_directory_path() /
                      ("mivo-stub-start-" + std::to_string(getpid()) + ".txt");
    // One that serves is stopped by timeout(1), which then ends with 124.
    std::string command = "timeout 5";
    for (const auto& word : launcher)
        command += " '" + word + "'";
    command += " '" MIVO_API_STUB_PATH "' --port 0 >/dev/null 2>'" + said.string() + "'";
    const int status = std::system(command.c_str());
    StubStart start;
    start.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    start.served = start.status == 124;
    std::ifstream in(said);
    start.said.assign(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(said);
    return start;
}

nlohmann::json StubProcess::requests() const {
    const auto reply = send("GET", "/dev/requests");
    if (!reply || reply->status != 200)
        throw std::runtime_error("the stub's request log is unreadable");
    return nlohmann::json::parse(reply->body);
}

std::vector<nlohmann::json> StubProcess::requestsTo(const std::string& path) const {
    std::vector<nlohmann::json> out;
    for (const auto& r : requests()) {
        if (r["path"] == path)
            out.push_back(r);
    }
    return out;
}

void StubProcess::clearRequests() const {
    send("DELETE", "/dev/requests");
}

void StubProcess::script(const nlohmann::json& script) const {
    const auto reply = send("POST", "/dev/script", script.dump());
    if (!reply || reply->status != 204)
        throw std::runtime_error("the stub refused the script: " + (reply ? reply->body : ""));
}

void StubProcess::config(const nlohmann::json& settings) const {
    const auto reply = send("POST", "/dev/config", settings.dump());
    if (!reply || reply->status != 204)
        throw std::runtime_error("the stub refused the settings");
}

}  // namespace mivo::testing
