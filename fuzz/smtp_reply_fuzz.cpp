// The SMTP client reading a server's replies. A scripted server on
// 127.0.0.1, on the client's own event loop, sends the input piece by piece
// (a piece ends at a zero byte): the first when the client connects, the
// next whenever the client sends a line and every two milliseconds anyway,
// and it closes the connection after the last. The client opens a session
// with the authentication the first byte picks, sends a mail and quits; a
// recorder checks the reply lines it reports. Whatever the replies, the
// client never fails inside, every request ends, and it is ready again.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "mail/smtp.h"
#include "platform/eventloop.h"

namespace {

using namespace tav;

constexpr std::size_t kMaxPieces = 64;

class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FUZZ_CHECK(::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0);
    FUZZ_CHECK(::listen(listen_fd_, 4) == 0);
    socklen_t len = sizeof a;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    listen_watch_ = MainLoop().WatchFd(listen_fd_, [this](bool readable, bool) {
      if (readable) Accept();
    });
    MainLoop().SetFdInterest(listen_watch_, true, false);
    timer_ = MainLoop().StartTimer(2, false, [this] {
      if (client_fd_ >= 0) SendNext();
    });
  }
  ~ScriptedServer() {
    MainLoop().StopTimer(timer_);
    CloseClient();
    MainLoop().UnwatchFd(listen_watch_);
    ::close(listen_fd_);
  }
  int Port() const { return port_; }

 private:
  void Accept() {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (client_fd_ >= 0 || next_ >= pieces_.size()) {
      ::close(fd);  // one session per input
      return;
    }
    client_fd_ = fd;
    client_watch_ = MainLoop().WatchFd(fd, [this](bool readable, bool) {
      if (readable) Read();
    });
    MainLoop().SetFdInterest(client_watch_, true, false);
    SendNext();
  }
  void Read() {
    char buf[4096];
    const ssize_t n = ::recv(client_fd_, buf, sizeof buf, 0);
    if (n <= 0) {
      CloseClient();
      return;
    }
    for (ssize_t i = 0; i < n && client_fd_ >= 0; ++i)
      if (buf[i] == '\n') SendNext();
  }
  void SendNext() {
    if (next_ >= pieces_.size()) {
      CloseClient();
      return;
    }
    const std::string& piece = pieces_[next_++];
    if (!piece.empty()) (void)::send(client_fd_, piece.data(), piece.size(), MSG_NOSIGNAL);
  }
  void CloseClient() {
    if (client_fd_ < 0) return;
    MainLoop().UnwatchFd(client_watch_);
    ::close(client_fd_);
    client_fd_ = -1;
  }

  std::vector<std::string> pieces_;
  std::size_t next_ = 0;
  int listen_fd_ = -1, port_ = 0, client_fd_ = -1;
  WatchId listen_watch_{}, client_watch_{};
  TimerId timer_{};
};

// Misuse errors the harness may cause are fine; an error from inside the
// client is not.
void Run(bool (TSyncSmtpCli::*request)(), TSyncSmtpCli& client) {
  try {
    (client.*request)();
  } catch (const SmtpException& e) {
    FUZZ_CHECK(std::string_view(e.what()).find("Program error") == std::string_view::npos);
  }
  FUZZ_CHECK(client.State() == smtpReady);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> pieces;
  for (std::size_t start = 0; start <= in.size() && pieces.size() < kMaxPieces;) {
    const std::size_t end = std::min(in.find('\0', start), in.size());
    pieces.emplace_back(in.substr(start, end - start));
    start = end + 1;
  }
  ScriptedServer server(std::move(pieces));
  {
    TSyncSmtpCli client;
    // The recorder: every reply line the client reports is one line.
    client.OnResponse = [](TCustomSmtpClient*, const std::string& line) {
      FUZZ_CHECK(line.find("\r\n") == std::string::npos && line.size() < kSmtpRcvBufSize);
    };
    client.Host = "127.0.0.1";
    client.Port = std::to_string(server.Port());
    client.SignOn = "fuzz";
    client.Timeout = 2;
    // CRAM-SHA1 is refused when asked for (not implemented), so it is left out.
    static constexpr TSmtpAuthType kAuth[] = {smtpAuthNone, smtpAuthPlain, smtpAuthLogin,
                                              smtpAuthCramMD5, smtpAuthAutoSelect};
    client.AuthType = kAuth[data[0] % 5];
    client.Username = "rider";
    client.Password = "secret";
    client.FromName = "Rider <rider@example.org>";
    client.RcptName.Add("coach@example.org");
    client.RcptName.Add("club@example.org");
    client.HdrFrom = "rider@example.org";
    client.HdrTo = "coach@example.org";
    client.HdrSubject = "Trip";
    client.MailMessage.Add("Here is the trip.");
    client.MailMessage.Add(".a line with a dot");
    Run(&TSyncSmtpCli::OpenSync, client);
    if (client.Connected()) Run(&TSyncSmtpCli::MailSync, client);
    if (client.Connected()) Run(&TSyncSmtpCli::QuitSync, client);
  }
  for (int i = 0; i < 4 && MainLoop().ProcessEvents(0); ++i) {
  }
  return 0;
}
