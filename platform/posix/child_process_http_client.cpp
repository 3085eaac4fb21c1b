#include "platform/posix/child_process_http_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>

#include "platform/posix/child_process.h"
#include "platform/unique_handle.h"

namespace {

// What the child writes: a kind byte, the status (4 bytes), the length of
// what follows (8 bytes), then the body or, for a failure, its reason.
constexpr char kAnswer = 'A';
constexpr char kFailure = 'F';
constexpr std::size_t kHeaderBytes = 1 + 4 + 8;
constexpr std::size_t kMaxReasonBytes = 64 * 1024;
constexpr std::size_t kMaxValidatorBytes = 4096;
// The child's client keeps the transfer bound; this only catches a child
// that hangs for another reason.
constexpr auto kGrace = std::chrono::seconds(2);

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

[[noreturn]] void RunChild(const std::function<int(std::string&)>& exchange, int out, pid_t parent) {
    // Gone with the saver, whatever ends it; and the saver's stop handlers
    // are not this process's business.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, SIG_DFL);

    char kind = kAnswer;
    std::int32_t status = 0;
    std::string payload;
    try {
        status = exchange(payload);
    } catch (const HttpError& e) {
        kind = kFailure;
        payload = e.what();
    } catch (const std::exception& e) {
        kind = kFailure;
        payload = std::string("download: ") + e.what();
    }
    if (kind == kFailure && payload.size() > kMaxReasonBytes) payload.resize(kMaxReasonBytes);
    char header[kHeaderBytes];
    const std::uint64_t length = payload.size();
    header[0] = kind;
    std::memcpy(header + 1, &status, 4);
    std::memcpy(header + 5, &length, 8);
    const bool sent = WriteAll(out, header, sizeof header) && WriteAll(out, payload.data(), payload.size());
    // No destructors, no atexit handlers: they belong to the saver.
    _exit(sent ? 0 : 1);
}

// A file's answer through the pipe: the two validators, each after its
// length, then the body.
void PutField(std::string& out, const std::string& field) {
    const std::uint32_t n = static_cast<std::uint32_t>(field.size());
    out.append(reinterpret_cast<const char*>(&n), 4);
    out += field;
}

bool TakeField(const std::string& in, std::size_t& at, std::string& field) {
    std::uint32_t n = 0;
    if (in.size() - at < 4) return false;
    std::memcpy(&n, in.data() + at, 4);
    at += 4;
    if (n > kMaxValidatorBytes || in.size() - at < n) return false;
    field.assign(in, at, n);
    at += n;
    return true;
}

std::string HowItEnded(int status) {
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    return "status " + std::to_string(status);
}

// A child still running when the wait is given up is killed and reaped.
struct ChildTraits {
    using Handle = pid_t;
    static Handle Empty() { return -1; }
    void Free(Handle pid) const {
        kill(pid, SIGKILL);
        WaitForExit(pid);
    }
};

struct FdTraits {
    using Handle = int;
    static Handle Empty() { return -1; }
    void Free(Handle fd) const { close(fd); }
};

}  // namespace

ChildProcessHttpClient::ChildProcessHttpClient(HttpClient& inner, const volatile std::sig_atomic_t* abort,
                                               int wakeFd)
    : inner_(inner), abort_(abort), wakeFd_(wakeFd) {}

int ChildProcessHttpClient::Get(const std::string& host, int port, const std::string& path, std::string& body) {
    body.clear();
    return InChild([&](std::string& payload) { return inner_.Get(host, port, path, payload); }, kMaxBodyBytes,
                   kTransferTimeoutSeconds * 1000, body);
}

FileResponse ChildProcessHttpClient::GetFile(const FileRequest& request) {
    std::string payload;
    FileResponse response;
    response.status = InChild(
        [&](std::string& out) {
            FileResponse r = inner_.GetFile(request);
            if (r.etag.size() > kMaxValidatorBytes) r.etag.clear();
            if (r.lastModified.size() > kMaxValidatorBytes) r.lastModified.clear();
            PutField(out, r.etag);
            PutField(out, r.lastModified);
            out += r.body;
            return r.status;
        },
        request.maxBodyBytes + 8 + 2 * kMaxValidatorBytes, request.timeoutMs, payload);
    std::size_t at = 0;
    if (!TakeField(payload, at, response.etag) || !TakeField(payload, at, response.lastModified))
        throw HttpError("the download process sent an answer that cannot be");
    response.body = payload.substr(at);
    return response;
}

int ChildProcessHttpClient::InChild(const std::function<int(std::string&)>& exchange, std::size_t cap, long limitMs,
                                    std::string& body) {
    body.clear();
    if (abort_ != nullptr && *abort_ != 0) throw HttpError("stopped before the request");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw HttpError(std::string("cannot make a pipe: ") + std::strerror(errno));
    const UniqueHandle<FdTraits> in(fds[0]);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[1]);
        throw HttpError(std::string("cannot start the download process: ") + std::strerror(errno));
    }
    if (pid == 0) {
        close(fds[0]);
        RunChild(exchange, fds[1], parent);
    }
    close(fds[1]);
    UniqueHandle<ChildTraits> child(pid);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs) + kGrace;
    char header[kHeaderBytes] = {};
    std::size_t headerRead = 0;
    // The body, or the reason of a failure: handed out only once it is whole.
    std::string answer;
    std::uint64_t length = 0;
    for (;;) {
        if (abort_ != nullptr && *abort_ != 0) throw HttpError("stopped during the download");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) throw HttpError("the download process did not end in time");
        pollfd watched[2] = {{in.get(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = poll(watched, wakeFd_ >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) throw HttpError(std::string("waiting for the download: ") + std::strerror(errno));
        if (wakeFd_ >= 0 && (watched[1].revents & POLLIN) != 0) throw HttpError("stopped during the download");
        if (watched[0].revents == 0) continue;

        ssize_t n;
        if (headerRead < kHeaderBytes) {
            n = read(in.get(), header + headerRead, kHeaderBytes - headerRead);
        } else {
            const std::size_t have = answer.size();
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - have, 1 << 16));
            if (want == 0) {
                char extra;
                n = read(in.get(), &extra, 1);
                if (n > 0) throw HttpError("the download process sent more than it announced");
            } else {
                answer.resize(have + want);
                n = read(in.get(), answer.data() + have, want);
                answer.resize(have + static_cast<std::size_t>(n > 0 ? n : 0));
            }
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw HttpError(std::string("reading the download: ") + std::strerror(errno));
        if (n == 0) break;
        if (headerRead < kHeaderBytes) {
            headerRead += static_cast<std::size_t>(n);
            if (headerRead == kHeaderBytes) {
                std::memcpy(&length, header + 5, 8);
                const std::uint64_t most = header[0] == kAnswer ? cap : kMaxReasonBytes;
                if ((header[0] != kAnswer && header[0] != kFailure) || length > most)
                    throw HttpError("the download process sent an answer that cannot be");
                answer.reserve(static_cast<std::size_t>(length));
            }
        }
    }

    const int status = WaitForExit(child.Release());
    if (headerRead < kHeaderBytes || answer.size() != length)
        throw HttpError("the download process ended without a whole answer (" + HowItEnded(status) + ")");
    if (header[0] == kFailure) throw HttpError(answer);
    std::int32_t code;
    std::memcpy(&code, header + 1, 4);
    body.swap(answer);
    return code;
}
