// TCustomLineWSocket delivers received data line by line (LineMode), with
// optional echo and simple line editing for terminal-like peers.
// TCustomSyncWSocket adds blocking waits that run the event loop.
#pragma once

#include <string>
#include <string_view>

#include "mail/wsocket_socks.h"

namespace tav {

using TLineLimitNotify = std::function<void(TCustomWSocket* sender, int rcvd_cnt, bool& clear_data)>;

class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  TCustomLineWSocket() = default;

  bool LineMode() const { return line_mode_; }
  void SetLineMode(bool on);
  const std::string& LineEnd() const { return line_end_; }
  void SetLineEnd(std::string_view s) { line_end_ = std::string(s); search_from_ = 0; }
  int LineLimit() const { return line_limit_; }
  void SetLineLimit(int n) { line_limit_ = n; }
  bool LineEcho() const { return line_echo_; }
  void SetLineEcho(bool on) { line_echo_ = on; }
  bool LineEdit() const { return line_edit_; }
  void SetLineEdit(bool on) { line_edit_ = on; }
  // Bytes received but not yet handed out.
  int RcvdBufferedCount() const { return static_cast<int>(Buffered()); }

  TLineLimitNotify OnLineLimitExceeded;

  // Queues s and then LineEnd; returns the number of bytes queued.
  virtual int SendLine(std::string_view s);
  int Receive(void* buf, int len) override;
  int GetRcvdCount() override;
  void Resume() override;

 protected:
  void WndProc(const Message& msg) override;
  bool TriggerDataAvailable(int error) override;
  void TriggerSessionClosed(int error) override;
  void AssignDefaultValue() override;
  virtual void TriggerLineLimitExceeded(int cnt, bool& clear_data);
  // The plain data event (below line mode). True when a handler took it.
  bool TriggerPlainData(int error) { return TCustomSocksWSocket::TriggerDataAvailable(error); }

 private:
  // Hands out complete lines while the handler takes them. Returns false
  // when a line is left that the handler did not take.
  bool DeliverLines();
  // Outside line mode: plain events while the buffer shrinks.
  void DeliverBuffered();
  void EditLine(std::string& fresh);
  // Where the first line end in the buffer starts (npos: none yet). Looks
  // only where search_from_ says one may still be.
  std::size_t FindLineEnd() const;
  bool HasCompleteLine() const { return FindLineEnd() != std::string::npos; }
  // Length of the first complete line (with its end), 0 when none.
  std::size_t ReadyLineLength();
  // Bytes received and not yet handed out; they start at rcv_head_.
  std::size_t Buffered() const { return rcv_buf_.size() - rcv_head_; }
  // Hands out the first n buffered bytes into buf.
  void TakeBuffered(void* buf, std::size_t n);
  // Drops the bytes already handed out from the front of the buffer (once
  // per event rather than once per line, which would be quadratic).
  void Compact();
  void ClearBuffer();

  bool line_mode_ = false;
  std::string line_end_ = "\r\n";
  int line_limit_ = 65536;
  bool line_echo_ = false;
  bool line_edit_ = false;
  std::string rcv_buf_;         // received; the part from rcv_head_ on is not yet handed out
  std::size_t rcv_head_ = 0;
  std::size_t line_length_ = 0; // length of the line ready (with its end), 0 when none
  std::size_t search_from_ = 0; // where the next search for a line end may start (from rcv_head_)
  bool line_received_ = false;  // the handler took bytes of the ready line
  bool delivering_ = false;
};

class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  TCustomSyncWSocket() = default;

  // Milliseconds the blocking waits give; 0 or less waits without limit.
  int Timeout() const { return timeout_; }
  void SetTimeout(int ms) { timeout_ = ms; }

  // Runs the event loop until flag is set: 0, or kWaitTimedOut (12001)
  // when Timeout passed or the loop was asked to quit.
  int WaitUntilReady(bool& flag);
  // Switches to line mode and waits up to timeout_ms for a line; the line
  // comes without its LineEnd. 0, or 12001 (timeout, quit or closed).
  int ReadLine(int timeout_ms, std::string& line);

 private:
  int timeout_ = 0;
  std::string read_line_buf_;
};

}  // namespace tav
