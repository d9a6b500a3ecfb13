// The SMTP client sending short messages over one connection to a scripted
// server on 127.0.0.1, both on this thread's event loop.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "mail/smtp.h"
#include "platform/eventloop.h"

namespace {

// Accepts one client and answers every command at once; data lines are
// taken until the lone ".".
class QuickServer {
 public:
  QuickServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 4);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    listen_watch_ = tav::MainLoop().WatchFd(listen_, [this](bool r, bool) {
      if (r) Accept();
    });
  }
  ~QuickServer() {
    tav::MainLoop().UnwatchFd(listen_watch_);
    if (client_watch_) tav::MainLoop().UnwatchFd(client_watch_);
    if (client_ >= 0) ::close(client_);
    ::close(listen_);
  }
  std::string Port() const { return std::to_string(port_); }

 private:
  void Accept() {
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0 || client_ >= 0) {
      if (fd >= 0) ::close(fd);
      return;
    }
    client_ = fd;
    client_watch_ = tav::MainLoop().WatchFd(client_, [this](bool r, bool) {
      if (r) Read();
    });
    Reply("220 bench ESMTP\r\n");
  }
  void Read() {
    char buf[65536];
    const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
    if (n <= 0) {
      tav::MainLoop().UnwatchFd(client_watch_);
      client_watch_ = 0;
      ::close(client_);
      client_ = -1;
      return;
    }
    in_.append(buf, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = in_.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string_view line(in_.data() + start, end - start);
      if (in_data_) {
        if (line == ".") {
          in_data_ = false;
          Reply("250 queued\r\n");
        }
      } else if (line.starts_with("DATA")) {
        in_data_ = true;
        Reply("354 go ahead\r\n");
      } else if (line.starts_with("QUIT")) {
        Reply("221 bye\r\n");
      } else {
        Reply("250 ok\r\n");
      }
    }
    in_.erase(0, start);
  }
  void Reply(std::string_view text) { ::send(client_, text.data(), text.size(), MSG_NOSIGNAL); }

  int listen_ = -1, client_ = -1, port_ = 0;
  tav::WatchId listen_watch_ = 0, client_watch_ = 0;
  std::string in_;
  bool in_data_ = false;
};

// Runs a request of c on the loop until it ends; its error.
int RunRequest(tav::TSmtpCli& c, void (tav::TSmtpCli::*request)()) {
  bool done = false;
  int error = -1;
  c.OnRequestDone = [&](tav::TCustomSmtpClient*, tav::TSmtpRequest, uint16_t e) {
    done = true;
    error = e;
  };
  (c.*request)();
  tav::MainLoop().RunUntil([&] { return done; }, 10000);
  return error;
}

}  // namespace

// 200 short messages per iteration; items per second are messages per second.
static void BM_SmtpSendLoop(benchmark::State& state) {
  constexpr int kMessages = 200;
  QuickServer server;
  tav::TSmtpCli c;
  c.Host = "127.0.0.1";
  c.Port = server.Port();
  c.SignOn = "bench";
  c.FromName = "rider@example.org";
  c.RcptName.Add("coach@example.org");
  c.HdrFrom = "rider@example.org";
  c.HdrTo = "coach@example.org";
  c.HdrSubject = "Trip";
  c.MailMessage.Add("Hello,");
  c.MailMessage.Add("here is my latest trip.");
  if (RunRequest(c, &tav::TSmtpCli::Open) != 0) {
    state.SkipWithError("no connection to the scripted server");
    return;
  }
  for (auto _ : state) {
    for (int i = 0; i < kMessages; ++i)
      if (RunRequest(c, &tav::TSmtpCli::Mail) != 0) {
        state.SkipWithError("a message was refused");
        return;
      }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  RunRequest(c, &tav::TSmtpCli::Quit);
}
BENCHMARK(BM_SmtpSendLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
