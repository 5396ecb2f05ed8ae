#include "peer_owner.hpp"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace mivo::stub {

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

}  // namespace

std::optional<uid_t> peerOwner(int connection) {
    sockaddr_storage local{};
    sockaddr_storage remote{};
    socklen_t localLength = sizeof local;
    socklen_t remoteLength = sizeof remote;
    if (::getsockname(connection, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        ::getpeername(connection, reinterpret_cast<sockaddr*>(&remote), &remoteLength) != 0)
        return std::nullopt;
    const auto ours = diagAddress(local);
    const auto theirs = diagAddress(remote);
    if (!ours || !theirs || ours->family != theirs->family)
        return std::nullopt;

    NetlinkSocket netlink;
    if (netlink.fd() < 0)
        return std::nullopt;
    // The peer's socket seen from its own side: its address is the source,
    // ours the destination. One exact lookup, not a dump of every socket.
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST;
    query.request.sdiag_family = theirs->family;
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = ~0u;
    query.request.id.idiag_sport = theirs->port;
    query.request.id.idiag_dport = ours->port;
    std::memcpy(query.request.id.idiag_src, theirs->words.data(), sizeof theirs->words);
    std::memcpy(query.request.id.idiag_dst, ours->words.data(), sizeof ours->words);
    query.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    query.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink.fd(), &query, sizeof query, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(sizeof query))
        return std::nullopt;

    alignas(nlmsghdr) std::array<char, 8192> answer{};
    const ssize_t received = ::recv(netlink.fd(), answer.data(), answer.size(), 0);
    if (received < static_cast<ssize_t>(sizeof(nlmsghdr)))
        return std::nullopt;
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer.data());
    if (!NLMSG_OK(header, static_cast<unsigned>(received)) ||
        header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
        header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
        return std::nullopt;
    const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
    // A socket no process holds any more (closed, or only its time-wait
    // remnant) has no inode, and the kernel reports it as root's: it is no
    // one's to serve, and whatever it sent before closing is not read.
    if (found->idiag_inode == 0)
        return std::nullopt;
    return static_cast<uid_t>(found->idiag_uid);
}

}  // namespace mivo::stub
