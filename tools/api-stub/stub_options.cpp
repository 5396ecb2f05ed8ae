#include "stub_options.hpp"

#include <charconv>

namespace mivo::stub {

namespace {

std::optional<int64_t> number(const std::string& text, int64_t least, int64_t most) {
    int64_t value = 0;
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value < least || value > most)
        return std::nullopt;
    return value;
}

}  // namespace

std::expected<StubOptions, std::string> parseStubOptions(std::span<const std::string> args) {
    StubOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--keep-accounts") {
            options.keepAccounts = true;
            continue;
        }
        if (i + 1 >= args.size())
            return std::unexpected(name + " needs a value");
        const std::string& value = args[++i];
        if (name == "--port") {
            auto n = number(value, 0, 65535);
            if (!n)
                return std::unexpected("--port takes a port from 0 to 65535");
            options.port = static_cast<int>(*n);
        } else if (name == "--script") {
            options.scriptFile = value;
        } else if (name == "--callback-port") {
            auto n = number(value, 1, 65535);
            if (!n)
                return std::unexpected("--callback-port takes a port from 1 to 65535");
            options.callbackPort = static_cast<int>(*n);
        } else if (name == "--expires-in") {
            auto n = number(value, 1, 10'000'000);
            if (!n)
                return std::unexpected("--expires-in takes whole seconds from 1");
            options.expiresIn = *n;
        } else if (name == "--update-version") {
            options.updateVersion = value;
        } else if (name == "--update-notes-url") {
            options.updateNotesURL = value;
        } else if (name == "--control-secret-file") {
            if (value.empty())
                return std::unexpected("--control-secret-file takes a file name");
            options.controlSecretFile = value;
        } else if (name == "--accounts-file") {
            if (value.empty())
                return std::unexpected("--accounts-file takes a file name");
            options.accountsFile = value;
        } else {
            return std::unexpected("unknown option " + name);
        }
    }
    if (options.keepAccounts && options.accountsFile)
        return std::unexpected("--keep-accounts and --accounts-file both name the account book");
    return options;
}

}  // namespace mivo::stub
