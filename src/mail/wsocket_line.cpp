#include "mail/wsocket_line.h"

#include <algorithm>
#include <cstring>

namespace tav {

// ---------------------------------------------------------------------------
// TCustomLineWSocket

void TCustomLineWSocket::SetLineMode(bool on) {
  if (on == line_mode_) return;
  line_mode_ = on;
  search_from_ = 0;
  line_length_ = 0;
  // What is already buffered is handed out from the loop in the new mode.
  if (Buffered() > 0) PostToSelf(kWmTriggerDataAvailable);
}

void TCustomLineWSocket::AssignDefaultValue() {
  TCustomSocksWSocket::AssignDefaultValue();
  ClearBuffer();
  line_received_ = false;
}

void TCustomLineWSocket::ClearBuffer() {
  rcv_buf_.clear();
  rcv_head_ = 0;
  line_length_ = 0;
  search_from_ = 0;
}

void TCustomLineWSocket::Compact() {
  if (rcv_head_ == 0) return;
  rcv_buf_.erase(0, rcv_head_);
  rcv_head_ = 0;
}

void TCustomLineWSocket::TakeBuffered(void* buf, std::size_t n) {
  std::memcpy(buf, rcv_buf_.data() + rcv_head_, n);
  rcv_head_ += n;
  if (rcv_head_ == rcv_buf_.size()) {
    rcv_buf_.clear();
    rcv_head_ = 0;
  }
  search_from_ = 0;
  CountReceived();
}

int TCustomLineWSocket::SendLine(std::string_view s) {
  if (!s.empty()) Send(s.data(), static_cast<int>(s.size()));
  if (!line_end_.empty()) Send(line_end_.data(), static_cast<int>(line_end_.size()));
  return static_cast<int>(s.size() + line_end_.size());
}

std::size_t TCustomLineWSocket::FindLineEnd() const {
  if (line_end_.empty()) return std::string::npos;
  return rcv_buf_.find(line_end_, rcv_head_ + std::min(search_from_, Buffered()));
}

std::size_t TCustomLineWSocket::ReadyLineLength() {
  if (line_length_ == 0) {
    std::size_t pos = FindLineEnd();
    if (pos != std::string::npos) line_length_ = pos - rcv_head_ + line_end_.size();
  }
  return line_length_;
}

int TCustomLineWSocket::GetRcvdCount() {
  if (line_mode_) return static_cast<int>(ReadyLineLength());
  int kernel = TCustomSocksWSocket::GetRcvdCount();
  if (Buffered() == 0) return kernel;
  return static_cast<int>(Buffered()) + std::max(kernel, 0);
}

int TCustomLineWSocket::Receive(void* buf, int len) {
  RearmRead();
  if (len <= 0 || buf == nullptr) return 0;
  if (line_mode_ && !line_end_.empty()) {
    // Called outside the line event, a complete line may still be ready.
    if (ReadyLineLength() == 0) {
      last_error_ = kWsaEWouldBlock;
      return kSocketError;
    }
    std::size_t n = std::min(static_cast<std::size_t>(len), line_length_);
    TakeBuffered(buf, n);
    line_length_ -= n;
    line_received_ = true;
    return static_cast<int>(n);
  }
  if (Buffered() > 0) {
    std::size_t n = std::min(static_cast<std::size_t>(len), Buffered());
    TakeBuffered(buf, n);
    line_length_ = 0;
    return static_cast<int>(n);
  }
  return TCustomSocksWSocket::Receive(buf, len);
}

void TCustomLineWSocket::TriggerLineLimitExceeded(int cnt, bool& clear_data) {
  if (OnLineLimitExceeded) OnLineLimitExceeded(this, cnt, clear_data);
}

void TCustomLineWSocket::EditLine(std::string& fresh) {
  Compact();
  std::string echo;
  // The shortest the buffer got: a line end may now start before it.
  std::size_t low = rcv_buf_.size();
  for (char ch : fresh) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == 8) {
      if (!rcv_buf_.empty() && rcv_buf_.back() != '\n' && rcv_buf_.back() != '\r') {
        rcv_buf_.pop_back();
        low = std::min(low, rcv_buf_.size());
        if (line_echo_) echo += "\b \b";
      }
    } else if (c == 9) {
      std::size_t start = rcv_buf_.find_last_of("\r\n");
      std::size_t col = start == std::string::npos ? rcv_buf_.size() : rcv_buf_.size() - start - 1;
      std::size_t blanks = 8 - col % 8;
      rcv_buf_.append(blanks, ' ');
      if (line_echo_) echo.append(blanks, ' ');
    } else {
      rcv_buf_ += ch;
      if (line_echo_) echo += ch;
    }
  }
  const std::size_t keep = line_end_.empty() ? 0 : line_end_.size() - 1;
  search_from_ = std::min(search_from_, low > keep ? low - keep : 0);
  if (!echo.empty()) SendStr(echo);
}

bool TCustomLineWSocket::DeliverLines() {
  if (delivering_) return true;  // the outer delivery goes on after the handler
  auto alive = Life();
  delivering_ = true;
  // Reset even when a handler throws (unless it destroyed the socket).
  struct Reset {
    TCustomLineWSocket* self;
    std::shared_ptr<bool> alive;
    ~Reset() {
      if (*alive) self->delivering_ = false;
    }
  } reset{this, alive};
  bool all_taken = true;
  // A handler that pauses the socket gets no more lines until Resume.
  while (line_mode_ && !line_end_.empty() && !paused_) {
    std::size_t pos = FindLineEnd();
    if (pos == std::string::npos) {
      // The next search needs to look back only as far as a split line end.
      std::size_t keep = line_end_.size() - 1;
      search_from_ = Buffered() > keep ? Buffered() - keep : 0;
      break;
    }
    line_length_ = pos - rcv_head_ + line_end_.size();
    line_received_ = false;
    while (line_mode_ && line_length_ > 0 && !paused_) {
      const std::size_t before = line_length_;
      TriggerPlainData(0);
      if (!*alive) return false;
      if (line_length_ == before) break;  // the handler took nothing this pass
    }
    search_from_ = 0;
    if (line_length_ > 0) {
      if (line_mode_) {
        // Not taken: the line stays first in the buffer for a later pass.
        all_taken = false;
        break;
      }
      line_length_ = 0;  // line mode was switched off: the rest goes out plainly
    }
  }
  if (!line_mode_ && Buffered() > 0) DeliverBuffered();
  if (*alive) Compact();
  return all_taken && !paused_;
}

void TCustomLineWSocket::DeliverBuffered() {
  auto alive = Life();
  while (!line_mode_ && Buffered() > 0 && !paused_) {
    const std::size_t before = Buffered();
    line_length_ = 0;
    if (!TriggerPlainData(0)) break;
    if (!*alive) return;
    if (Buffered() == before) break;
  }
}

bool TCustomLineWSocket::TriggerDataAvailable(int error) {
  if (!line_mode_ || line_end_.empty() || SocksNegotiating()) return TCustomSocksWSocket::TriggerDataAvailable(error);
  auto alive = Life();
  // A line the handler left is offered again before more is read; while it
  // stays, nothing more is read (the socket's own flow control holds the peer).
  if (line_length_ > 0 || HasCompleteLine()) {
    if (!DeliverLines() || !*alive) return true;
  }
  int avail = TCustomSocksWSocket::GetRcvdCount();
  if (avail <= 0) avail = 255;
  Compact();
  const std::size_t old = rcv_buf_.size();
  rcv_buf_.resize(old + static_cast<std::size_t>(avail));
  int n = DoRecv(rcv_buf_.data() + old, avail, 0);
  rcv_buf_.resize(old + static_cast<std::size_t>(std::max(n, 0)));
  if (n <= 0 && Buffered() == 0) return true;
  if (n > 0 && (line_edit_ || line_echo_)) {
    std::string fresh = rcv_buf_.substr(old);
    if (line_edit_) {
      rcv_buf_.resize(old);
      EditLine(fresh);
    } else {
      SendStr(fresh);
    }
    if (!*alive) return true;
  }
  DeliverLines();
  if (!*alive) return true;
  if (line_mode_ && line_limit_ > 0 && Buffered() > static_cast<std::size_t>(line_limit_) && !HasCompleteLine()) {
    bool clear = true;
    TriggerLineLimitExceeded(static_cast<int>(Buffered()), clear);
    if (!*alive) return true;
    if (clear) ClearBuffer();
  }
  return true;
}

void TCustomLineWSocket::Resume() {
  TCustomSocksWSocket::Resume();
  // What came before the pause is handed out from the loop.
  if (Buffered() > 0) PostToSelf(kWmTriggerDataAvailable);
}

void TCustomLineWSocket::WndProc(const Message& msg) {
  if (msg.msg == kWmTriggerDataAvailable) {
    if (line_mode_)
      DeliverLines();
    else
      DeliverBuffered();
    return;
  }
  TCustomSocksWSocket::WndProc(msg);
}

void TCustomLineWSocket::TriggerSessionClosed(int error) {
  auto alive = Life();
  if (Buffered() > 0) {
    if (line_mode_ && !line_end_.empty()) {
      DeliverLines();
      if (!*alive) return;
      // The last, incomplete line.
      while (line_mode_ && Buffered() > 0) {
        const std::size_t before = Buffered();
        line_length_ = Buffered();
        TriggerPlainData(0);
        if (!*alive) return;
        if (Buffered() == before) break;
      }
    }
    if (!line_mode_) DeliverBuffered();
    if (!*alive) return;
  }
  ClearBuffer();
  TCustomSocksWSocket::TriggerSessionClosed(error);
}

// ---------------------------------------------------------------------------
// TCustomSyncWSocket

int TCustomSyncWSocket::WaitUntilReady(bool& flag) {
  auto alive = Life();
  EventLoop& loop = loop_;
  const int limit = timeout_ > 0 ? timeout_ : -1;
  loop.RunUntil([&] { return flag || !*alive; }, limit);
  return flag ? 0 : kWaitTimedOut;
}

int TCustomSyncWSocket::ReadLine(int timeout_ms, std::string& line) {
  line.clear();
  if (state_ != wsConnected) {
    RaiseException("ReadLine failed: not connected");
    return kWaitTimedOut;
  }
  auto alive = Life();
  EventLoop& loop = loop_;
  bool done = false;
  read_line_buf_.clear();
  TSessionNotify saved = std::move(OnDataAvailable);
  OnDataAvailable = [this, &done](TCustomWSocket*, int) {
    if (done) return;  // further lines wait for the owner's handler
    int n = GetRcvdCount();
    if (n <= 0) return;
    std::string buf(static_cast<std::size_t>(n), '\0');
    int got = Receive(buf.data(), n);
    if (got <= 0) return;
    read_line_buf_.append(buf.data(), static_cast<std::size_t>(got));
    if (got == n) done = true;
  };
  SetLineMode(true);
  if (RcvdBufferedCount() > 0) PostToSelf(kWmTriggerDataAvailable);
  loop.RunUntil([&] { return done || !*alive || state_ == wsClosed; }, timeout_ms > 0 ? timeout_ms : -1);
  if (!*alive) return kWaitTimedOut;
  OnDataAvailable = std::move(saved);
  // A line that came after this one goes to the owner's handler.
  if (RcvdBufferedCount() > 0) PostToSelf(kWmTriggerDataAvailable);
  if (!done) return kWaitTimedOut;
  std::string s = std::move(read_line_buf_);
  read_line_buf_.clear();
  const std::string& end = LineEnd();
  if (!end.empty() && s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0)
    s.resize(s.size() - end.size());
  line = std::move(s);
  return 0;
}

}  // namespace tav
