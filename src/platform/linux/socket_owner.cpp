#include "platform/linux/socket_owner.hpp"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

namespace mivo {

namespace {

// An address as inet_diag wants it: family, four 32-bit words in network
// order, port in network order.
struct DiagAddress {
    uint8_t family = 0;
    std::array<uint32_t, 4> words{};
    uint16_t port = 0;
};

std::optional<DiagAddress> diagAddress(const sockaddr_storage& storage) {
    DiagAddress out;
    if (storage.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(storage);
        out.family = AF_INET;
        out.words[0] = in.sin_addr.s_addr;
        out.port = in.sin_port;
        return out;
    }
    if (storage.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
        out.port = in6.sin6_port;
        // A dual-stack listener sees an IPv4 client as ::ffff:a.b.c.d; the
        // client's own socket is an IPv4 one.
        if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) {
            out.family = AF_INET;
            std::memcpy(&out.words[0], &in6.sin6_addr.s6_addr[12], 4);
            return out;
        }
        out.family = AF_INET6;
        std::memcpy(out.words.data(), &in6.sin6_addr, 16);
        return out;
    }
    return std::nullopt;
}

// Whether an address the kernel reports is `asked`. A dual-stack client
// socket that reached an IPv4 address reports it as ::ffff:a.b.c.d.
bool sameAddress(uint8_t family, const uint32_t (&words)[4], const DiagAddress& asked) {
    if (family == asked.family)
        return std::memcmp(words, asked.words.data(), family == AF_INET ? 4 : 16) == 0;
    if (family != AF_INET6 || asked.family != AF_INET)
        return false;
    in6_addr reported{};
    std::memcpy(&reported, words, sizeof reported);
    return IN6_IS_ADDR_V4MAPPED(&reported) &&
           std::memcmp(&reported.s6_addr[12], &asked.words[0], 4) == 0;
}

// The states of a socket that a process holds connected. A listener is the
// socket the kernel would give a new connection to, not the one that made
// this one; a time-wait remnant belongs to no one.
bool isConnected(uint8_t state) {
    switch (state) {
        case TCP_ESTABLISHED:
        case TCP_FIN_WAIT1:
        case TCP_FIN_WAIT2:
        case TCP_CLOSE_WAIT:
        case TCP_CLOSING:
        case TCP_LAST_ACK:
            return true;
        default:
            return false;
    }
}

// Closes the netlink socket however the lookup ends.
class NetlinkSocket {
  public:
    NetlinkSocket() : fd_(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG)) {}
    ~NetlinkSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// The device every loopback packet arrives on. Asked with no device, the
// kernel looks only at sockets bound to none, and misses one bound to `lo`
// (SO_BINDTODEVICE, open to every user since Linux 5.7) that a connection
// to a loopback address does reach.
std::expected<unsigned, OwnerUnknown> loopbackDevice() {
    static const unsigned index = ::if_nametoindex("lo");
    if (index == 0)
        return std::unexpected(OwnerUnknown::noDiagnostics);
    return index;
}

// The one socket whose own address is `local` and whose peer is `remote`.
// Without a dump the kernel looks the pair up as a packet arriving on `lo`
// would: failing a connected socket, it answers with the listener on `local`
// that would take the connection, which the callers tell apart. Nothing
// inside: no such socket.
std::expected<std::optional<inet_diag_msg>, OwnerUnknown> lookUp(const DiagAddress& local,
                                                                 const DiagAddress& remote) {
    const auto device = loopbackDevice();
    if (!device)
        return std::unexpected(device.error());
    NetlinkSocket netlink;
    if (netlink.fd() < 0)
        return std::unexpected(OwnerUnknown::noDiagnostics);
    constexpr uint32_t kSequence = 1;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST;
    query.header.nlmsg_seq = kSequence;
    query.request.sdiag_family = local.family;
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = ~0u;
    query.request.id.idiag_sport = local.port;
    query.request.id.idiag_dport = remote.port;
    query.request.id.idiag_if = *device;
    std::memcpy(query.request.id.idiag_src, local.words.data(), sizeof local.words);
    std::memcpy(query.request.id.idiag_dst, remote.words.data(), sizeof remote.words);
    query.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    query.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink.fd(), &query, sizeof query, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(sizeof query))
        return std::unexpected(OwnerUnknown::noDiagnostics);

    pollfd ready{netlink.fd(), POLLIN, 0};
    int polled = 0;
    do {
        polled = ::poll(&ready, 1, kLookupBoundMilliseconds);
    } while (polled < 0 && errno == EINTR);
    if (polled <= 0)
        return std::unexpected(OwnerUnknown::noAnswer);
    alignas(nlmsghdr) std::array<char, 8192> answer{};
    sockaddr_nl sender{};
    socklen_t senderLength = sizeof sender;
    const ssize_t received = ::recvfrom(netlink.fd(), answer.data(), answer.size(), MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received < static_cast<ssize_t>(sizeof(nlmsghdr)))
        return std::unexpected(OwnerUnknown::noAnswer);
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer.data());
    // Only the kernel's answer to this very query.
    if (sender.nl_pid != 0 || !NLMSG_OK(header, static_cast<unsigned>(received)) ||
        header->nlmsg_seq != kSequence)
        return std::unexpected(OwnerUnknown::noAnswer);
    if (header->nlmsg_type == NLMSG_ERROR && header->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
        const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
        if (error->error == -ENOENT)
            return std::optional<inet_diag_msg>();
        return std::unexpected(OwnerUnknown::noDiagnostics);
    }
    if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
        header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
        return std::unexpected(OwnerUnknown::noDiagnostics);
    return *static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
}

std::expected<uid_t, OwnerUnknown> userOf(const inet_diag_msg& found) {
    if (found.idiag_uid == overflowUser())
        return std::unexpected(OwnerUnknown::overflowUser);
    return static_cast<uid_t>(found.idiag_uid);
}

}  // namespace

const char* describe(OwnerUnknown why) {
    switch (why) {
        case OwnerUnknown::notConnected:
            return "the connection has no loopback addresses";
        case OwnerUnknown::noDiagnostics:
            return "the kernel's socket diagnostics (NETLINK_SOCK_DIAG, inet_diag) are not "
                   "available here";
        case OwnerUnknown::noAnswer:
            return "the kernel's socket diagnostics did not answer within a second";
        case OwnerUnknown::notThePeer:
            return "the kernel's socket diagnostics answered with another socket than the peer's";
        case OwnerUnknown::closed:
            return "the peer's socket is already closed";
        case OwnerUnknown::overflowUser:
            return "the kernel reports the socket's user as the overflow user, as it does for "
                   "every user that this user namespace does not map";
    }
    return "";
}

uid_t overflowUser() {
    static const uid_t user = [] {
        std::ifstream in("/proc/sys/kernel/overflowuid");
        long value = -1;
        if (in >> value && value >= 0)
            return static_cast<uid_t>(value);
        return static_cast<uid_t>(65534);
    }();
    return user;
}

std::expected<uid_t, OwnerUnknown> peerOwner(int connection) {
    sockaddr_storage local{};
    sockaddr_storage remote{};
    socklen_t localLength = sizeof local;
    socklen_t remoteLength = sizeof remote;
    if (::getsockname(connection, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        ::getpeername(connection, reinterpret_cast<sockaddr*>(&remote), &remoteLength) != 0)
        return std::unexpected(OwnerUnknown::notConnected);
    const auto ours = diagAddress(local);
    const auto theirs = diagAddress(remote);
    if (!ours || !theirs || ours->family != theirs->family)
        return std::unexpected(OwnerUnknown::notConnected);

    // The peer's socket seen from its own side: its address is the local
    // one, ours the remote.
    const auto found = lookUp(*theirs, *ours);
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::unexpected(OwnerUnknown::closed);
    const inet_diag_msg& socket = **found;
    // A socket no process holds any more (closed, or only its time-wait
    // remnant) has no inode, and the kernel reports it as root's: it is no
    // one's to serve, and whatever it sent before closing is not read.
    if (socket.idiag_state == TCP_TIME_WAIT || socket.idiag_inode == 0)
        return std::unexpected(OwnerUnknown::closed);
    // When the peer's socket is gone the kernel answers with whoever now
    // listens on the peer's old port: that user did not send this request.
    if (!isConnected(socket.idiag_state) ||
        !sameAddress(socket.idiag_family, socket.id.idiag_src, *theirs) ||
        !sameAddress(socket.idiag_family, socket.id.idiag_dst, *ours) ||
        socket.id.idiag_sport != theirs->port || socket.id.idiag_dport != ours->port)
        return std::unexpected(OwnerUnknown::notThePeer);
    return userOf(socket);
}

std::expected<uid_t, OwnerUnknown> loopbackListenerOwner(int port) {
    sockaddr_storage storage{};
    auto& in = reinterpret_cast<sockaddr_in&>(storage);
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in.sin_port = htons(static_cast<uint16_t>(port));
    return listenerOwner(storage);
}

bool isLoopback(const sockaddr_storage& address) {
    const auto read = diagAddress(address);
    if (!read)
        return false;
    if (read->family == AF_INET)
        return (ntohl(read->words[0]) >> 24) == 127;
    in6_addr six{};
    std::memcpy(&six, read->words.data(), sizeof six);
    return IN6_IS_ADDR_LOOPBACK(&six);
}

std::string endpointText(const sockaddr_storage& address) {
    const auto read = diagAddress(address);
    if (!read)
        return "(no address)";
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(read->family, read->words.data(), text, sizeof text);
    const std::string port = std::to_string(ntohs(read->port));
    return read->family == AF_INET6 ? "[" + std::string(text) + "]:" + port
                                    : std::string(text) + ":" + port;
}

std::expected<uid_t, OwnerUnknown> listenerOwner(const sockaddr_storage& address) {
    const auto read = diagAddress(address);
    if (!read || !isLoopback(address))
        return std::unexpected(OwnerUnknown::notConnected);
    const DiagAddress& listening = *read;
    // A peer on port 0 has no connection, so only a listener can answer.
    DiagAddress nobody = listening;
    nobody.port = 0;
    const auto found = lookUp(listening, nobody);
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return kNoOne;
    const inet_diag_msg& socket = **found;
    if (socket.idiag_state != TCP_LISTEN || socket.id.idiag_sport != listening.port)
        return std::unexpected(OwnerUnknown::notThePeer);
    return userOf(socket);
}

}  // namespace mivo
