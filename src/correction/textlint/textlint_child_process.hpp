#pragma once

// One child process that the textlint bridge talks to over its standard
// input and output. Every wait is bounded by a deadline, nothing here can
// raise SIGPIPE, and the child is always reaped: by isRunning() once it has
// exited, or by end() (also run by the destructor).

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

// An owned file descriptor, closed on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

class TextlintChildProcess {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    // Starts `arguments` (the first is the executable's path, not searched in
    // PATH) in `workingFolder`. Its standard input is one end of a socket
    // pair (so writes can refuse SIGPIPE), its standard output a pipe, its
    // standard error /dev/null (nobody reads it, so it can never fill up and
    // stall the child). Nothing when the child cannot be started.
    static std::optional<TextlintChildProcess> spawn(const std::vector<std::string>& arguments,
                                                     const std::filesystem::path& workingFolder);

    TextlintChildProcess(TextlintChildProcess&& other) noexcept;
    TextlintChildProcess& operator=(TextlintChildProcess&& other) noexcept;
    TextlintChildProcess(const TextlintChildProcess&) = delete;
    TextlintChildProcess& operator=(const TextlintChildProcess&) = delete;
    ~TextlintChildProcess();

    pid_t pid() const { return pid_; }

    // False once the child has exited; it is reaped then.
    bool isRunning();

    // Writes every byte before the deadline; false when the child stopped
    // reading, has gone, or the deadline passed.
    bool writeAll(std::string_view bytes, Deadline deadline);

    // The longest line readLine() takes: an answer lists a sentence's
    // messages, a few kilobytes.
    static constexpr std::size_t kMaxLineBytes = 1024 * 1024;

    // One line of the child's output without its newline; nothing at the
    // end of the stream, on a read error, when the deadline passes (also
    // while the child keeps writing) or when the line grows beyond
    // kMaxLineBytes. Bytes after the newline are kept for the next call.
    std::optional<std::string> readLine(Deadline deadline);
    // Whether the last readLine() gave nothing because the line was too long.
    bool lineWasTooLong() const { return lineTooLong_; }

    // Kills the child if it still runs and reaps it. Idempotent.
    void end();

  private:
    TextlintChildProcess(pid_t pid, UniqueFd input, UniqueFd output);

    pid_t pid_ = -1;
    bool reaped_ = true;
    UniqueFd input_;   // our end of the child's standard input
    UniqueFd output_;  // reading end of the child's standard output
    std::string pending_;
    bool lineTooLong_ = false;
};

}  // namespace mivo
