#include "stub_sign_in.hpp"

#include "callback_port.hpp"

namespace mivo::testing {

using nlohmann::json;

const std::string kNonce = "0123456789ABCDEF0123456789ABCDEF";

int statusOf(const std::optional<StubReply>& reply) {
    return reply ? reply->status : -1;
}

SignedIn signIn(const StubProcess& stub) {
    const CallbackPort callback;
    const auto start =
        stub.send("POST", "/v1/auth/desktop/start",
                  json{{"device_nonce", kNonce}, {"callback_port", callback.port()}}.dump());
    const std::string authUrl = json::parse(start->body)["auth_url"];
    const std::string location =
        stub.send("GET", authUrl.substr(stub.baseURL().size()))->headers.at("Location");
    SignedIn out;
    out.grant = location.substr(location.find("grant=") + 6);
    const auto tokens = stub.send("POST", "/v1/auth/desktop/exchange",
                                  json{{"grant", out.grant}, {"device_nonce", kNonce}}.dump());
    const json t = json::parse(tokens->body);
    out.access = t["access_token"];
    out.refresh = t["refresh_token"];
    return out;
}

}  // namespace mivo::testing
