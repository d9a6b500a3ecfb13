// Peers and fixtures for the SMTP client tests, all on 127.0.0.1: a real
// server (Python's aiosmtpd, started as a child process) and a scripted one
// on the test's own event loop for replies no real server sends; a recorder
// of what a client reports; file and text helpers shared with the codec tests.
#pragma once

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mail/smtp.h"
#include "mail/wsocket_test_util.h"
#include "platform/eventloop.h"
#include "platform/strings.h"

namespace tav::smtptest {

namespace fs = std::filesystem;

inline fs::path SourceDir() {
  if (const char* dir = std::getenv("TAVLOG_SOURCE_DIR")) return dir;
  return fs::path(__FILE__).parent_path().parent_path().parent_path();
}

inline std::string ReadFileBytes(const fs::path& p) {
  std::string s;
  ReadWholeFile(p, s);
  return s;
}

// What a mail's X-Mailer should say: "tavlog" and the version that the
// project's build file states.
inline std::string ProjectMailer() {
  const std::string build = ReadFileBytes(SourceDir() / "CMakeLists.txt");
  const std::string key = "project(tavlog VERSION ";
  const std::size_t at = build.find(key);
  if (at == std::string::npos) return "(no version in CMakeLists.txt)";
  const std::size_t from = at + key.size();
  return "tavlog " + build.substr(from, build.find_first_of(" )", from) - from);
}

inline void WriteFileBytes(const fs::path& p, std::string_view data) {
  std::ofstream f(p, std::ios::binary);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string Unhex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

// The pieces of s between the separators (one piece when there is none).
inline std::vector<std::string> Split(const std::string& s, const std::string& sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = s.find(sep, start);
    out.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + sep.size();
  }
  return out;
}

using test::Pump;
using test::PumpFor;

// The text of the SmtpException that f throws; "no exception" when none.
template <class F>
std::string SmtpThrown(F&& f) {
  return test::Thrown<SmtpException>(std::forward<F>(f));
}

// The lines, each followed by a line feed (for failure messages).
inline std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

using test::TempDir;

// What Python's email package made of one received message.
struct MessageReport {
  std::vector<std::pair<std::string, std::string>> items;
  std::vector<std::string> All(const std::string& key) const {
    std::vector<std::string> out;
    for (const auto& [k, v] : items)
      if (k == key) out.push_back(v);
    return out;
  }
  std::string One(const std::string& key) const {
    for (const auto& [k, v] : items)
      if (k == key) return v;
    return {};
  }
  bool Has(const std::string& key) const { return !All(key).empty(); }
};

// aiosmtpd with the test handler of tests/mail/smtp_peer.py.
class PythonSmtpPeer {
 public:
  explicit PythonSmtpPeer(const std::string& config_json)
      : dir_("smtppeer"), process_(Start(dir_.path(), config_json), (dir_.path() / "output.log").string()) {
    // The server writes its port once it listens.
    Pump([&] { return fs::exists(dir_.path() / "port") || !process_.Running(); }, 15000);
    port_ = std::atoi(ReadFileBytes(dir_.path() / "port").c_str());
  }
  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  std::string PortStr() const { return std::to_string(port_); }
  std::string StdErr() const { return ReadFileBytes(dir_.path() / "output.log"); }

  std::vector<std::string> Events() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(dir_.path() / "events.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Report of message n (from 1); waits for it a little.
  MessageReport Message(int n, int wait_ms = 5000) const {
    fs::path p = dir_.path() / ("msg_" + std::to_string(n) + ".txt");
    Pump([&] { return fs::exists(p); }, wait_ms);
    MessageReport r;
    std::istringstream in(ReadFileBytes(p));
    for (std::string line; std::getline(in, line);) {
      auto tab = line.find('\t');
      r.items.emplace_back(line.substr(0, tab),
                           tab == std::string::npos ? std::string() : line.substr(tab + 1));
    }
    return r;
  }
  std::string RawMessage(int n) const {
    return ReadFileBytes(dir_.path() / ("msg_" + std::to_string(n) + ".eml"));
  }
  bool HasMessage(int n) const { return fs::exists(dir_.path() / ("msg_" + std::to_string(n) + ".eml")); }

 private:
  static std::vector<std::string> Start(const fs::path& dir, const std::string& config_json) {
    WriteFileBytes(dir / "config.json", config_json);
    return {"/usr/bin/python3", (SourceDir() / "tests/mail/smtp_peer.py").string(), dir.string()};
  }
  TempDir dir_;
  test::ChildProcess process_;
  int port_ = 0;
};

// Records what a client reports.
struct Recorder {
  std::vector<std::pair<TSmtpRequest, int>> done;
  std::vector<std::string> display;
  std::vector<std::string> commands;
  std::vector<std::string> responses;
  int session_closed = 0;
  bool inside_call = false;
  bool done_inside_call = false;

  void Attach(TCustomSmtpClient& c) {
    c.OnRequestDone = [this](TCustomSmtpClient*, TSmtpRequest rq, uint16_t error) {
      if (inside_call) done_inside_call = true;
      done.emplace_back(rq, error);
    };
    c.OnDisplay = [this](TCustomSmtpClient*, const std::string& s) { display.push_back(s); };
    c.OnCommand = [this](TCustomSmtpClient*, const std::string& s) { commands.push_back(s); };
    c.OnResponse = [this](TCustomSmtpClient*, const std::string& s) { responses.push_back(s); };
    c.OnSessionClosed = [this](TCustomSmtpClient*, int) { ++session_closed; };
  }
  // Runs a request and the loop until it reports its end; false on timeout.
  bool Run(const std::function<void()>& start, int ms = 5000) {
    std::size_t before = done.size();
    inside_call = true;
    start();
    inside_call = false;
    return Pump([&] { return done.size() > before; }, ms);
  }
  int LastError() const { return done.empty() ? -1 : done.back().second; }
  std::pair<TSmtpRequest, int> Last() const { return {LastRequest(), LastError()}; }
  TSmtpRequest LastRequest() const { return done.empty() ? smtpCustom : done.back().first; }
};

// What Recorder::Last() gives for a request that ended with error.
inline std::pair<TSmtpRequest, int> Done(TSmtpRequest request, int error) { return {request, error}; }

// A test whose clients report to rec.
class RecordedTest : public ::testing::Test {
 protected:
  bool Opened(TCustomSmtpClient& c) { return rec.Run([&] { c.Open(); }); }
  bool Mailed(TCustomSmtpClient& c, int ms = 5000) { return rec.Run([&] { c.Mail(); }, ms); }

  Recorder rec;
};

// A test against a real server (PythonSmtpPeer).
class RealServerTest : public RecordedTest {
 protected:
  // Starts the server with the configuration; false (the server's error
  // output reported) when it did not come up.
  bool Serve(const std::string& config = "{}") {
    peer = std::make_unique<PythonSmtpPeer>(config);
    if (!peer->Ok()) ADD_FAILURE() << "the SMTP server did not start: " << peer->StdErr();
    return peer->Ok();
  }
  // Attaches the recorder to c and points it at the server.
  void Point(TCustomSmtpClient& c, const std::string& sign_on = {}) {
    rec.Attach(c);
    c.Host = "127.0.0.1";
    c.Port = peer->PortStr();
    c.SignOn = sign_on;
  }
  std::unique_ptr<PythonSmtpPeer> peer;
};

// A scripted server on the test's event loop. On accept it sends the
// banner chunks; for every line it receives (CR LF stripped) it asks the
// reply function what to send. Chunks go out in order, each after its
// delay; a chunk with close set closes the connection instead.
struct Chunk {
  std::string bytes;
  int delay_ms = 0;
  bool close = false;
};
inline Chunk Send(std::string s, int delay_ms = 0) { return Chunk{std::move(s), delay_ms, false}; }
inline Chunk CloseConn(int delay_ms = 0) { return Chunk{{}, delay_ms, true}; }

class ScriptedPeer {
 public:
  using ReplyFn = std::function<std::vector<Chunk>(const std::string& line)>;

  ScriptedPeer(std::vector<Chunk> banner, ReplyFn reply)
      : banner_(std::move(banner)), reply_(std::move(reply)),
        listen_(test::BindLoopback(SOCK_STREAM | SOCK_NONBLOCK, port_, 4)),
        listen_watch_(listen_, [this](bool r, bool) {
          if (r) OnAccept();
        }) {}
  ~ScriptedPeer() {
    for (TimerId t : timers_) MainLoop().StopTimer(t);
    CloseClient();
  }
  std::string PortStr() const { return std::to_string(port_); }
  const std::string& Raw() const { return raw_; }
  bool ClientClosed() const { return client_closed_; }
  int Connections() const { return connections_; }

 private:
  void OnAccept() {
    test::Fd fd(::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (fd < 0 || client_ >= 0) return;  // one client at a time
    ++connections_;
    client_ = std::move(fd);
    client_closed_ = false;
    client_watch_ = std::make_unique<test::ScopedWatch>(client_, [this](bool r, bool) {
      if (r) OnReadable();
    });
    Queue(banner_);
  }
  void OnReadable() {
    char buf[65536];
    ssize_t n = ::recv(client_, buf, sizeof buf, 0);
    if (n <= 0) {
      client_closed_ = true;
      CloseClient();
      return;
    }
    raw_.append(buf, static_cast<std::size_t>(n));
    pending_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t pos; client_ >= 0 && (pos = pending_.find("\r\n")) != std::string::npos;) {
      std::string line = pending_.substr(0, pos);
      pending_.erase(0, pos + 2);
      Queue(reply_(line));
    }
  }
  // Chunks are released in order; each waits for its delay after the one before.
  void Queue(std::vector<Chunk> chunks) {
    for (auto& c : chunks) queue_.push_back(std::move(c));
    while (!queue_.empty() && !waiting_) {
      Chunk c = queue_.front();
      if (c.delay_ms > 0) {
        waiting_ = true;
        queue_.front().delay_ms = 0;
        timers_.push_back(MainLoop().StartTimer(c.delay_ms, true, [this] {
          waiting_ = false;
          Queue({});
        }));
        return;
      }
      queue_.erase(queue_.begin());
      if (c.close) CloseClient();
      else if (client_ >= 0) test::WriteAll(client_, c.bytes);
    }
  }
  void CloseClient() {
    client_watch_.reset();
    client_.Close();
  }

  std::vector<Chunk> banner_;
  ReplyFn reply_;
  int port_ = 0;
  test::Fd listen_;
  test::ScopedWatch listen_watch_;
  test::Fd client_;
  std::unique_ptr<test::ScopedWatch> client_watch_;
  bool client_closed_ = false;
  int connections_ = 0;
  std::string raw_, pending_;
  std::vector<Chunk> queue_;
  bool waiting_ = false;
  std::vector<TimerId> timers_;
};

// The command lines of a whole send as the server must receive them: the
// sign-on, the account "tim" and the password "geheim" in Base64 (worked out
// by hand: "tim" -> dGlt, "geheim" -> Z2VoZWlt), the two recipients, one
// after the other.
inline const std::string kEhlo = "EHLO Name", kHelo = "HELO Name", kAuth = "AUTH LOGIN", kUser = "dGlt",
                  kPass = "Z2VoZWlt", kFrom = "MAIL FROM:<rider@x.org>", kTo1 = "RCPT TO:<coach@x.org>",
                  kTo2 = "RCPT TO:<club@x.org>", kData = "DATA", kEnd = ".", kQuit = "QUIT";

// How the server cuts each reply on its way.
enum class Cut { kWhole, kPieces, kBytes };

// A scripted SMTP dialogue for a ScriptedPeer: the banner and a reply for
// each command line it may get (the exact line is the key); the body lines
// between DATA and "." are collected. A reply "" is silence, "CLOSE" closes the connection, and a
// reply ending in "\nCLOSE" sends its text and then closes.
struct DialogueScript {
  std::string banner = "220 mail.test ESMTP\r\n";
  std::map<std::string, std::string> replies = {
      {kEhlo, "250-mail.test\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n"},
      {kHelo, "250 mail.test\r\n"},
      {kAuth, "334 VXNlcm5hbWU6\r\n"},
      {kUser, "334 UGFzc3dvcmQ6\r\n"},
      {kPass, "235 2.7.0 Authentication successful\r\n"},
      {kFrom, "250 2.1.0 Ok\r\n"},
      {kTo1, "250 2.1.5 Ok\r\n"},
      {kTo2, "250 2.1.5 Ok\r\n"},
      {kData, "354 End data with <CR><LF>.<CR><LF>\r\n"},
      {kEnd, "250 2.0.0 Ok: queued as 4711\r\n"},
      {kQuit, "221 2.0.0 Bye\r\nCLOSE"}};
  Cut cut = Cut::kWhole;
  std::vector<std::string> received;  // command lines, the data's end "." included
  std::vector<std::string> body;      // the lines between DATA and "."

  std::vector<Chunk> Answer(const std::string& line) {
    if (in_data_ && line != ".") {
      body.push_back(line);
      return {};
    }
    received.push_back(line);
    in_data_ = false;
    auto it = replies.find(line);
    std::string reply = it == replies.end() ? "500 5.5.2 unexpected\r\n" : it->second;
    if (line == kData && reply.rfind("354", 0) == 0) in_data_ = true;
    return Chunks(reply);
  }
  // The reply as the chosen cut delivers it; the pieces wait a little for
  // each other so that each arrives in a read of its own.
  std::vector<Chunk> Chunks(const std::string& reply) const {
    std::string text = reply;
    bool close = false;
    if (text == "CLOSE") {
      text.clear();
      close = true;
    } else if (text.size() >= 5 && text.compare(text.size() - 5, 5, "CLOSE") == 0) {
      text.erase(text.size() - 5);
      close = true;
    }
    std::vector<Chunk> out;
    if (cut == Cut::kWhole || text.size() < 4) {
      if (!text.empty()) out.push_back(Send(text));
    } else if (cut == Cut::kBytes) {
      for (char c : text) out.push_back(Send(std::string(1, c), 1));
    } else {
      // In the code (after two digits), in the middle of the text, and
      // between every CR and its LF.
      std::vector<std::size_t> at = {2, text.size() / 2};
      for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) at.push_back(p + 1);
      std::sort(at.begin(), at.end());
      std::size_t from = 0;
      for (std::size_t p : at) {
        if (p <= from || p >= text.size()) continue;
        out.push_back(Send(text.substr(from, p - from), from == 0 ? 0 : 5));
        from = p;
      }
      out.push_back(Send(text.substr(from), 5));
    }
    if (close) out.push_back(CloseConn(out.empty() ? 0 : 5));
    return out;
  }

 private:
  bool in_data_ = false;
};

}  // namespace tav::smtptest
