#include "api_stub.hpp"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "account_book.hpp"
#include "bounded_json.hpp"
#include "connection_drop.hpp"
#include "correction/local_correction_service.hpp"
#include "ipv6_loopback_hold.hpp"
#include "own_user_server.hpp"
#include "platform/linux/socket_owner.hpp"
#include "platform/private_file.hpp"
#include "refusal_log.hpp"
#include "request_log.hpp"
#include "shared/text.hpp"
#include "stub_files.hpp"
#include "stub_rewrite.hpp"
#include "stub_script.hpp"

namespace mivo::stub {

namespace {

using nlohmann::json;
using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// Larger bodies are refused with 413 before any handler sees them, chunked
// ones (counted with their framing) too.
constexpr std::size_t kMaxRequestBytes = 1 << 20;
// Larger bodies are logged by their size: Mivo's are a few kilobytes, and
// a copy of every large body in the log while it is read would hold as much
// memory again as the bodies themselves.
constexpr std::size_t kMaxLoggedBodyBytes = 256 * 1024;
// Each open connection holds a worker, whether it is sending a request or
// idle between two; enough workers that the user's requests find one while
// the user's own programs hold many connections open.
constexpr std::size_t kWorkers = 256;
// How long a connection may be silent inside a request (head or body): a
// client on this machine sends a request at once. One that trickles it is
// ended by the whole request's deadline (OwnUserServer::kRequestDeadline).
constexpr std::chrono::seconds kReadTimeout{1};
// Between requests a connection waits at most this long for the next one,
// and serves at most this many.
constexpr time_t kKeepAliveSeconds = 2;
constexpr std::size_t kKeepAliveRequests = 20;

void answerJson(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

void answerError(httplib::Response& res, int status, const std::string& error) {
    answerJson(res, status, json{{"error", error}});
}

// The body as a JSON value; a syntax error, or a body past the bounds of
// any request of the service, gives a discarded value.
json bodyOf(const httplib::Request& req) {
    return parseBoundedJson(req.body);
}

std::optional<std::string> bearerToken(const httplib::Request& req) {
    const std::string value = req.get_header_value("Authorization");
    constexpr std::string_view prefix = "Bearer ";
    if (!value.starts_with(prefix) || value.size() == prefix.size())
        return std::nullopt;
    return value.substr(prefix.size());
}

bool isDeviceHash(const std::string& value) {
    return value.size() == 64 && std::ranges::all_of(value, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// Mivo's nonce: a random UUID without its dashes. Anything else is kept by
// nobody, whatever its size.
bool isDeviceNonce(const json& value) {
    return value.is_string() && value.get_ref<const std::string&>().size() == 32 &&
           std::ranges::all_of(value.get_ref<const std::string&>(),
                               [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string nowIso8601() {
    const std::time_t t = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

void warn(const std::string& line) {
    std::fprintf(stderr, "mivo-api-stub: %s\n", line.c_str());
}

json tokensJson(const Tokens& t) {
    return {{"access_token", t.accessToken},
            {"refresh_token", t.refreshToken},
            {"expires_in", t.expiresIn}};
}

}  // namespace

struct ApiStub::Impl {
    StubOptions options;
    RefusalLog refusals{[](const std::string& line) { warn(line); }};
    OwnUserServer server{kWorkers, kMaxRequestBytes, refusals};
    Ipv6LoopbackHold ipv6Hold;
    AccountBook accounts;
    Script script;
    int port = 0;

    RequestLog requestLog;
    // Empty: the control routes are off.
    std::string controlSecret;

    std::mutex engineMutex;
    std::unique_ptr<LocalCorrectionService> engine;

    std::mutex feedMutex;  // the update feed's two options

    std::mutex stopMutex;
    std::condition_variable stopSignal;
    bool stopping = false;

    explicit Impl(StubOptions o) : options(std::move(o)), accounts(options.expiresIn) {}

    void record(const httplib::Request& req);
    void wait(double seconds);
    Handler endpoint(Handler handler);
    Handler control(Handler handler);
    void routes();
    void accountRoutes();
    void rewriteRoutes();
    void developmentRoutes();
    void updateRoutes();

    void convert(const httplib::Request& req, httplib::Response& res);
    void feedback(const httplib::Request& req, httplib::Response& res);
};

void ApiStub::Impl::record(const httplib::Request& req) {
    // Nobody can read the log without the control routes: keeping it would
    // only hold up to its cap of whatever other users send.
    if (controlSecret.empty())
        return;
    // The library adds the connection's addresses as headers of its own.
    static const std::set<std::string> addedByLibrary{"local_addr", "local_port", "remote_addr",
                                                      "remote_port"};
    LoggedRequest logged{req.method, req.path, req.target, {}, {}};
    logged.body = req.body.size() <= kMaxLoggedBodyBytes
                      ? req.body
                      : "(" + std::to_string(req.body.size()) + " bytes, not logged)";
    for (const auto& [name, value] : req.headers) {
        std::string lower = name;
        std::ranges::transform(lower, lower.begin(),
                               [](unsigned char c) { return std::tolower(c); });
        if (!addedByLibrary.contains(lower) && lower != "x-mivo-stub-secret")
            logged.headers[lower] = value;
    }
    requestLog.record(std::move(logged));
}

void ApiStub::Impl::wait(double seconds) {
    std::unique_lock lock(stopMutex);
    stopSignal.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping; });
}

// Every endpoint of the service: logged first, then whatever the script says
// for its path, then the endpoint itself.
Handler ApiStub::Impl::endpoint(Handler handler) {
    return
        [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
            record(req);
            if (auto scripted = script.take(req.path)) {
                if (scripted->delaySeconds > 0)
                    wait(scripted->delaySeconds);
                if (scripted->drop) {
                    dropConnection(req.remote_addr, req.remote_port, req.local_port);
                    res.status = 500;
                    return;
                }
                if (scripted->status) {
                    res.status = *scripted->status;
                    res.set_content(scripted->body, scripted->contentType.c_str());
                    return;
                }
            }
            handler(req, res);
        };
}

// A control route: only for the holder of the secret, and only when the
// control routes were asked for at start. Anyone else on this machine can
// reach the port, and must neither read tokens nor choose rewrites.
Handler ApiStub::Impl::control(Handler handler) {
    return
        [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
            if (controlSecret.empty())
                return answerError(res, 404, "Not Found");
            if (!isControlSecret(req.get_header_value("X-Mivo-Stub-Secret"), controlSecret))
                return answerError(res, 403, "Forbidden");
            handler(req, res);
        };
}

void ApiStub::Impl::accountRoutes() {
    server.Post("/v1/auth/desktop/start", endpoint([this](const auto& req, auto& res) {
                    const json body = bodyOf(req);
                    if (!body.is_object() || !isDeviceNonce(body.value("device_nonce", json())))
                        return answerError(res, 400, "device_nonce must be 32 hexadecimal digits");
                    const auto port = body.find("callback_port");
                    if (port == body.end() || !port->is_number_integer() ||
                        port->get<long long>() < 1 || port->get<long long>() > 65535)
                        return answerError(res, 400, "callback_port must be a port number");
                    // The browser would bring the grant back here, in the
                    // address of a request anyone's log may show.
                    if (port->get<int>() == this->port)
                        return answerError(res, 400, "callback_port is the stand-in's own port");
                    const auto requestId =
                        accounts.start(body["device_nonce"].get<std::string>(), port->get<int>());
                    if (!requestId)
                        return answerError(res, 429, requestId.error());
                    const std::string authUrl = "http://" + options.host + ":" +
                                                std::to_string(this->port) +
                                                "/dev/signin?request_id=" + *requestId;
                    answerJson(res, 200, {{"auth_url", authUrl}, {"request_id", *requestId}});
                }));
    server.Post(
        "/v1/auth/desktop/exchange", endpoint([this](const auto& req, auto& res) {
            const json body = bodyOf(req);
            if (!body.is_object() || !body.contains("grant") || !body["grant"].is_string() ||
                !body.contains("device_nonce") || !body["device_nonce"].is_string())
                return answerError(res, 400, "grant and device_nonce must be strings");
            auto tokens = accounts.exchange(body["grant"].get<std::string>(),
                                            body["device_nonce"].get<std::string>());
            if (!tokens)
                return answerError(res, tokens.error() == AccountBook::kTooManySessions ? 429 : 400,
                                   tokens.error());
            answerJson(res, 200, tokensJson(*tokens));
        }));
    server.Post("/v1/auth/refresh", endpoint([this](const auto& req, auto& res) {
                    const json body = bodyOf(req);
                    if (!body.is_object() || !body.contains("refresh_token") ||
                        !body["refresh_token"].is_string())
                        return answerError(res, 400, "refresh_token must be a string");
                    const auto waited = std::chrono::steady_clock::now() - requestArrivedAt();
                    auto tokens = accounts.refresh(
                        body["refresh_token"].get<std::string>(),
                        AccountBook::Clock::now() -
                            std::chrono::duration_cast<AccountBook::Clock::duration>(waited));
                    if (!tokens)
                        return answerError(res, tokens.error() == AccountBook::kTooLate ? 408 : 401,
                                           tokens.error());
                    answerJson(res, 200, tokensJson(*tokens));
                }));
    server.Post("/v1/auth/logout", endpoint([this](const auto& req, auto& res) {
                    const auto token = bearerToken(req);
                    if (!token || !accounts.userFor(*token))
                        return answerError(res, 401, "Unauthorized");
                    accounts.logout(*token);
                    res.status = 204;
                }));
    server.Get("/v1/me", endpoint([this](const auto& req, auto& res) {
                   const auto token = bearerToken(req);
                   const auto user = token ? accounts.userFor(*token) : std::nullopt;
                   if (!user)
                       return answerError(res, 401, "Unauthorized");
                   answerJson(res, 200, {{"user_id", user->userId}, {"email", user->email}});
               }));
}

void ApiStub::Impl::convert(const httplib::Request& req, httplib::Response& res) {
    const auto token = bearerToken(req);
    if (!token || !accounts.userFor(*token))
        return answerError(res, 401, "Unauthorized");
    if (!isDeviceHash(req.get_header_value("X-Mivo-Device-Id")))
        return answerError(res, 400, "X-Mivo-Device-Id must be 64 lowercase hexadecimal digits");
    const json body = bodyOf(req);
    if (auto problem = convertRequestProblem(body))
        return answerError(res, 400, *problem);
    const auto began = std::chrono::steady_clock::now();
    const auto target = body["target_text"].get<std::string>();
    const auto action = body["rewrite_action"].get<std::string>();
    std::string rewritten = target;
    if (action == "improve" && text::isValidUtf8(target)) {
        std::lock_guard lock(engineMutex);
        if (engine == nullptr)
            engine = std::make_unique<LocalCorrectionService>();
        rewritten = improveText(*engine, target);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
    json answer{{"request_id", body["request_id"]}, {"rewritten_text", rewritten},
                {"rewrite_action", action},         {"surface_tag", body["surface_tag"]},
                {"latency_ms", elapsed.count()},    {"unchanged", rewritten == target}};
    if (body.contains("target_register"))
        answer["target_register"] = body["target_register"];
    answerJson(res, 200, answer);
}

void ApiStub::Impl::feedback(const httplib::Request& req, httplib::Response& res) {
    const auto token = bearerToken(req);
    if (!token || !accounts.userFor(*token))
        return answerError(res, 401, "Unauthorized");
    if (auto problem = feedbackRequestProblem(bodyOf(req)))
        return answerError(res, 400, *problem);
    answerJson(res, 200,
               {{"feedback_id", "fb-" + text::makeUuid()}, {"submitted_at", nowIso8601()}});
}

void ApiStub::Impl::rewriteRoutes() {
    server.Post("/v1/rewrite/convert",
                endpoint([this](const auto& req, auto& res) { convert(req, res); }));
    server.Post("/v1/feedback/conversion",
                endpoint([this](const auto& req, auto& res) { feedback(req, res); }));
    // GET also answers HEAD, without the body.
    server.Get("/v1/health", endpoint([](const auto&, auto& res) {
                   answerJson(res, 200, {{"status", "ok"}});
               }));
}

void ApiStub::Impl::updateRoutes() {
    server.Get("/update/feed.json", endpoint([this](const auto&, auto& res) {
                   std::lock_guard lock(feedMutex);
                   if (!options.updateVersion)
                       return answerError(res, 404, "Not Found");
                   json feed{{"version", *options.updateVersion}};
                   if (options.updateNotesURL)
                       feed["notes_url"] = *options.updateNotesURL;
                   answerJson(res, 200, feed);
               }));
}

void ApiStub::Impl::developmentRoutes() {
    // The browser's end of sign-in: signing in always succeeds here, and the
    // browser is sent to the loopback callback with the grant, the same one
    // each time until the sign-in is finished: the request id is on xdg-open's
    // command line for every user to read, and whoever comes first must not
    // leave the user's browser with nothing.
    server.Get("/dev/signin", [this](const httplib::Request& req, httplib::Response& res) {
        record(req);
        const auto grant = accounts.approve(req.get_param_value("request_id"));
        if (!grant) {
            res.status = 400;
            res.set_content("<html><body><p>Unknown or finished sign-in.</p></body></html>",
                            "text/html; charset=utf-8");
            return;
        }
        const int callback = options.callbackPort.value_or(grant->callbackPort);
        // The grant goes only to a port that the user's own program holds:
        // Mivo listens before it starts a sign-in, and whoever else listens
        // there, or takes the port once Mivo has stopped waiting, would
        // receive the grant in the user's stead.
        const auto listener = loopbackListenerOwner(callback);
        if (!listener || *listener != ::geteuid()) {
            res.status = 409;
            res.set_content(
                "<html><body><p>This sign-in cannot be finished here: port " +
                    std::to_string(callback) + " on this machine is " +
                    (listener && *listener == kNoOne ? "not listening" : "not held by you") +
                    ". Start signing in again in Mivo.</p></body></html>",
                "text/html; charset=utf-8");
            return;
        }
        res.set_redirect("http://127.0.0.1:" + std::to_string(callback) + "/?grant=" + grant->grant,
                         302);
    });
    server.Get("/dev/requests", control([this](const httplib::Request&, httplib::Response& res) {
                   res.set_content(
                       requestLog.dump().dump(-1, ' ', false, json::error_handler_t::replace),
                       "application/json");
               }));
    server.Delete("/dev/requests", control([this](const httplib::Request&, httplib::Response& res) {
                      requestLog.clear();
                      res.status = 204;
                  }));
    server.Post("/dev/script", control([this](const httplib::Request& req, httplib::Response& res) {
                    if (auto complaint = script.load(req.body))
                        return answerError(res, 400, *complaint);
                    res.status = 204;
                }));
    server.Delete("/dev/script", control([this](const httplib::Request&, httplib::Response& res) {
                      script.clear();
                      res.status = 204;
                  }));
    server.Post("/dev/config", control([this](const httplib::Request& req, httplib::Response& res) {
                    const json body = bodyOf(req);
                    if (!body.is_object())
                        return answerError(res, 400, "the body must be a JSON object");
                    if (auto it = body.find("expires_in"); it != body.end()) {
                        if (!it->is_number_integer() || it->get<long long>() < 1)
                            return answerError(res, 400, "expires_in must be a positive integer");
                        accounts.setExpiresIn(it->get<long long>());
                    }
                    if (auto it = body.find("callback_port"); it != body.end()) {
                        if (!it->is_number_integer() || it->get<long long>() < 1 ||
                            it->get<long long>() > 65535)
                            return answerError(res, 400, "callback_port must be a port number");
                        options.callbackPort = it->get<int>();
                    }
                    for (const auto* key : {"update_version", "update_notes_url"}) {
                        if (auto it = body.find(key); it != body.end() && !it->is_string())
                            return answerError(res, 400, std::string(key) + " must be a string");
                    }
                    std::lock_guard lock(feedMutex);
                    if (auto it = body.find("update_version"); it != body.end())
                        options.updateVersion = it->get<std::string>();
                    if (auto it = body.find("update_notes_url"); it != body.end())
                        options.updateNotesURL = it->get<std::string>();
                    res.status = 204;
                }));
}

void ApiStub::Impl::routes() {
    accountRoutes();
    rewriteRoutes();
    updateRoutes();
    developmentRoutes();
    // Whatever else arrives is logged and scripted like an endpoint, then
    // answered 404, so a client's wrong path shows in the log.
    const Handler notFound =
        endpoint([](const auto&, auto& res) { answerError(res, 404, "Not Found"); });
    server.Get(".*", notFound);
    server.Post(".*", notFound);
    server.Put(".*", notFound);
    server.Patch(".*", notFound);
    server.Delete(".*", notFound);
    server.Options(".*", notFound);
}

ApiStub::ApiStub(StubOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
    impl_->server.set_read_timeout(kReadTimeout);
    impl_->server.set_keep_alive_timeout(kKeepAliveSeconds);
    impl_->server.set_keep_alive_max_count(kKeepAliveRequests);
    impl_->server.set_payload_max_length(kMaxRequestBytes);
    impl_->routes();
}

ApiStub::~ApiStub() {
    stop();
}

std::optional<std::string> ApiStub::loadScriptFile() {
    if (!impl_->options.scriptFile)
        return std::nullopt;
    std::ifstream in(*impl_->options.scriptFile, std::ios::binary);
    if (!in)
        return "cannot read " + *impl_->options.scriptFile;
    std::ostringstream text;
    text << in.rdbuf();
    return impl_->script.load(text.str());
}

std::optional<std::string> ApiStub::openFiles() {
    auto& o = impl_->options;
    if (o.controlSecretFile) {
        impl_->controlSecret = makeControlSecret();
        if (auto complaint = writeControlSecret(*o.controlSecretFile, impl_->controlSecret))
            return complaint;
    }
    std::optional<std::filesystem::path> book;
    if (o.accountsFile)
        book = *o.accountsFile;
    else if (o.keepAccounts)
        book = defaultAccountsFile();
    if (o.keepAccounts && !book)
        warn("no home folder known; accounts last until the stand-in stops");
    if (book)
        keepAccountsIn(*book);
    return std::nullopt;
}

// A book that cannot be kept is said once and the stand-in runs on with
// accounts in memory; one that cannot be read is set aside.
void ApiStub::keepAccountsIn(const std::filesystem::path& file) {
    if (auto complaint = prepareAccountsFolder(file))
        return warn(*complaint + "; accounts last until the stand-in stops");
    auto text = readAccountsFile(file);
    std::optional<std::string> broken;
    if (!text)
        broken = text.error();
    else if (*text)
        broken = impl_->accounts.loadBook(**text);
    if (broken) {
        warn(file.string() + ": " + *broken + "; set aside as .broken, starting with no accounts");
        setAsideAsBroken(file);
    }
    impl_->accounts.onBookChanged([file](const std::string& json) {
        if (auto complaint = writeAccountsFile(file, json))
            warn(*complaint);
    });
}

std::expected<int, std::string> ApiStub::bind() {
    auto& o = impl_->options;
    const std::string cannot = "cannot listen on " + o.host + ":" + std::to_string(o.port);
    // A free port of 127.0.0.1 may be another program's on [::1]: then
    // another one, when any port will do.
    for (int attempt = 0; attempt < 32; ++attempt) {
        const int port = o.port == 0 ? impl_->server.bind_to_any_port(o.host)
                                     : (impl_->server.bind_to_port(o.host, o.port) ? o.port : -1);
        if (port <= 0)
            return std::unexpected(cannot);
        auto hold = Ipv6LoopbackHold::take(port);
        if (hold) {
            impl_->ipv6Hold = std::move(*hold);
            impl_->server.opened(port);
            impl_->port = port;
            return port;
        }
        impl_->server.unbind();
        if (o.port != 0)
            return std::unexpected("cannot hold [::1]:" + std::to_string(port) +
                                   " beside 127.0.0.1 (" + std::strerror(hold.error()) +
                                   "): another program would answer the browser there");
    }
    return std::unexpected(cannot + ": every free port is another program's on [::1]");
}

std::optional<std::string> ApiStub::whyUsersCannotBeToldApart() {
    return impl_->server.whyOwnersCannotBeTold();
}

void ApiStub::run() {
    impl_->server.listen_after_bind();
}

void ApiStub::stop() {
    {
        std::lock_guard lock(impl_->stopMutex);
        impl_->stopping = true;
    }
    impl_->stopSignal.notify_all();
    impl_->server.stop();
}

}  // namespace mivo::stub
