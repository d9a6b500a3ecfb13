// TCustomWSocket: an event-driven TCP/UDP socket that lives on the event
// loop's thread. Readiness of the descriptor becomes the classic socket
// events (connect, read, write, accept, close); writes never block: data go
// into a queue of fixed-size chunks that drains whenever the stack accepts
// more. Every event is delivered from the event loop, never from inside the
// call that caused it (apart from the documented synchronous cases).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mail/wsocket_buffer.h"
#include "mail/wsocket_error.h"
#include "mail/wsocket_names.h"
#include "platform/eventloop.h"
#include "platform/strings.h"

namespace tav {

enum TSocketState {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsSocksConnected,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TWSocketOption { wsoNoReceiveLoop, wsoTcpNoDelay, wsoSIO_RCVALL };

// A set of TWSocketOption.
class TWSocketOptions {
 public:
  constexpr TWSocketOptions() = default;
  constexpr TWSocketOptions(std::initializer_list<TWSocketOption> opts) {
    for (auto o : opts) bits_ |= Bit(o);
  }
  constexpr bool Contains(TWSocketOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr void Include(TWSocketOption o) { bits_ |= Bit(o); }
  constexpr void Exclude(TWSocketOption o) { bits_ &= ~Bit(o); }
  constexpr bool operator==(const TWSocketOptions&) const = default;

 private:
  static constexpr uint32_t Bit(TWSocketOption o) { return 1u << static_cast<unsigned>(o); }
  uint32_t bits_ = 0;
};

// Socket event bits, as the select events number them.
inline constexpr int kFdRead = 1;
inline constexpr int kFdWrite = 2;
inline constexpr int kFdOob = 4;
inline constexpr int kFdAccept = 8;
inline constexpr int kFdConnect = 16;
inline constexpr int kFdClose = 32;

// Messages a socket posts to its own message target.
inline constexpr uint32_t kWmAsyncSelect = 1025;         // socket event
inline constexpr uint32_t kWmAsyncGetHostByName = 1026;  // name look-up done
inline constexpr uint32_t kWmAsyncGetHostByAddr = 1027;  // address look-up done
inline constexpr uint32_t kWmCloseDelayed = 1028;
inline constexpr uint32_t kWmWSocketRelease = 1029;
inline constexpr uint32_t kWmTriggerException = 1030;
inline constexpr uint32_t kWmTriggerDataAvailable = 1044;  // line mode: deliver buffered data

inline constexpr int kInvalidSocket = -1;
inline constexpr int kSocketError = -1;

class TCustomWSocket;
struct TDnsJob;

using TSocketNotify = std::function<void(TCustomWSocket* sender)>;
using TSessionNotify = std::function<void(TCustomWSocket* sender, int error)>;
using TSendDataNotify = std::function<void(TCustomWSocket* sender, int bytes_sent)>;
using TChangeStateNotify = std::function<void(TCustomWSocket* sender, TSocketState old_state, TSocketState new_state)>;
using TBgExceptionNotify = std::function<void(TCustomWSocket* sender, const std::exception& e, bool& can_close)>;
using TDisplayNotify = std::function<void(TCustomWSocket* sender, const std::string& msg)>;

class TCustomWSocket {
 public:
  TCustomWSocket();
  virtual ~TCustomWSocket();
  TCustomWSocket(const TCustomWSocket&) = delete;
  TCustomWSocket& operator=(const TCustomWSocket&) = delete;

  // ---- properties ----
  int HSocket() const { return fd_; }
  TSocketState State() const { return state_; }
  // The last socket error number (0 when the last call succeeded).
  int LastError() const { return last_error_; }
  // Text of the last error reported through RaiseException.
  const std::string& LastErrorText() const { return last_error_text_; }

  const std::string& Addr() const { return addr_; }
  void SetAddr(std::string_view value);
  const std::string& Port() const { return port_; }
  void SetPort(std::string_view value) { SetRemotePort(value); }
  const std::string& Proto() const { return proto_; }
  void SetProtoName(std::string_view value) { SetProto(value); }
  const std::string& LocalAddr() const { return local_addr_; }
  void SetLocalAddr(std::string_view value);
  const std::string& LocalPort() const { return local_port_; }
  void SetLocalPort(std::string_view value);

  TSocketLingerOnOff LingerOnOff() const { return linger_on_off_; }
  void SetLingerOnOff(TSocketLingerOnOff v) { linger_on_off_ = v; }
  int LingerTimeout() const { return linger_timeout_; }
  void SetLingerTimeout(int seconds) { linger_timeout_ = seconds; }
  TSocketSendFlags SendFlags() const { return send_flags_; }
  void SetSendFlags(TSocketSendFlags f);
  // Size of the chunks of the send queue (1460 by default).
  int BufSize() const { return chunk_size_; }
  void SetBufSize(int n) { chunk_size_ = n > 0 ? n : 1460; }
  bool AllSent() const { return all_sent_; }
  // Bytes waiting in the send queue.
  int BufferedByteCount() const;
  // Bytes received since the socket was opened.
  uint64_t ReadCount() const { return read_count_; }
  bool Paused() const { return paused_; }

  TWSocketOptions ComponentOptions() const { return options_; }
  void SetComponentOptions(TWSocketOptions o) { options_ = o; }
  bool MultiCast() const { return multicast_; }
  void SetMultiCast(bool on) { multicast_ = on; }
  int MultiCastIpTTL() const { return multicast_ttl_; }
  void SetMultiCastIpTTL(int ttl) { multicast_ttl_ = ttl; }
  // The group a listening datagram socket joins when MultiCast is set.
  const std::string& MultiCastAddrStr() const { return multicast_addr_; }
  void SetMultiCastAddrStr(std::string_view s) { multicast_addr_ = WSocketTrim(s); }
  bool ReuseAddr() const { return reuse_addr_; }
  void SetReuseAddr(bool on) { reuse_addr_ = on; }
  int ListenBacklog() const { return listen_backlog_; }
  void SetListenBacklog(int n) { listen_backlog_ = n; }
  // Seconds Flush waits for the queue to drain.
  int FlushTimeout() const { return flush_timeout_; }
  void SetFlushTimeout(int seconds) { flush_timeout_ = seconds; }
  // When set, MessagePump does nothing (another thread pumps the loop).
  bool MultiThreaded() const { return multi_threaded_; }
  void SetMultiThreaded(bool on) { multi_threaded_ = on; }

  const std::string& DnsResult() const { return dns_result_; }
  const TStringList& DnsResultList() const { return dns_result_list_; }

  // The bit of the socket event being handled (0 outside the handlers).
  int CurrentEvent() const { return current_event_; }
  // Sockets alive in this process.
  static int InstanceCount();

  // ---- events (sender first; each optional) ----
  TSessionNotify OnDataAvailable;
  TSessionNotify OnDataSent;
  TSendDataNotify OnSendData;
  TSessionNotify OnSessionClosed;
  TSessionNotify OnSessionAvailable;
  TSessionNotify OnSessionConnected;
  TChangeStateNotify OnChangeState;
  TSessionNotify OnDnsLookupDone;
  TSocketNotify OnError;
  TBgExceptionNotify OnBgException;
  TDisplayNotify OnDisplay;

  // ---- operations ----
  virtual void Connect();
  virtual void Close();
  // Closes from the event loop (posted).
  virtual void CloseDelayed();
  // Destroys the object from the event loop. Only for sockets made with new.
  virtual void Release();
  virtual void Abort();
  // Sends what is queued, running the event loop until the queue is empty,
  // the socket closes or FlushTimeout seconds have passed. True when all was sent.
  virtual bool Flush();
  // Runs the event loop until the connection is closed.
  virtual void WaitForClose();
  virtual void Listen();
  // Takes the next connection of a listening socket; kInvalidSocket when none.
  virtual int Accept();
  virtual int Receive(void* buf, int len);
  virtual std::string ReceiveStr();
  virtual int ReceiveFrom(void* buf, int len, sockaddr_in& from);
  virtual int PeekData(void* buf, int len);
  virtual int Send(const void* data, int len);
  virtual int SendTo(const sockaddr_in& dest, const void* data, int len);
  virtual int SendStr(std::string_view s);
  virtual void DnsLookup(std::string_view host);
  virtual void ReverseDnsLookup(std::string_view addr);
  virtual void CancelDnsLookup();
  virtual std::string GetPeerAddr();
  virtual std::string GetPeerPort();
  virtual int GetPeerName(sockaddr_in& name);
  virtual std::string GetXPort();
  virtual std::string GetXAddr();
  virtual int GetSockName(sockaddr_in& name);
  // Adopts a connected handle (from Accept); the socket owns it afterwards.
  virtual void Dup(int new_socket);
  virtual void Shutdown(int how);
  // No events while paused; Resume selects them again.
  virtual void Pause();
  virtual void Resume();
  // Runs pending events once unless MultiThreaded.
  virtual void MessagePump();
  virtual int GetRcvdCount();

  // Event-loop helpers of the blocking waits.
  bool ProcessMessage();   // one pass; true when something was dispatched
  void ProcessMessages();  // every pass that finds work
  void MessageLoop();      // until the loop is asked to quit
  bool Terminated() const;

  // Stop event delivery on this thread / resume it on the calling thread.
  void ThreadDetach();
  void ThreadAttach();

  // The event loop this socket is registered with.
  EventLoop& Loop() const { return loop_; }
  TargetId Target() const { return target_; }

 protected:
  // Message target handler (the hidden window's procedure).
  virtual void WndProc(const Message& msg);
  virtual void TryToSend();
  virtual void AssignDefaultValue();
  virtual void InternalClose(bool shut, int error);
  virtual void InternalAbort(int error);
  virtual void SetRemotePort(std::string_view value);
  virtual void SetProto(std::string_view value);
  // Binds to LocalAddr/LocalPort and reads the bound port back; false on failure.
  virtual bool BindSocket();
  virtual int RealSend(const void* data, int len);
  virtual void RaiseException(const std::string& msg);
  void RaiseExceptionFmt(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  virtual void HandleBackGroundException(const std::exception& e);
  // Returns true when a handler took the event.
  virtual bool TriggerDataAvailable(int error);
  virtual void TriggerSessionAvailable(int error);
  virtual void TriggerSessionConnectedSpecial(int error);
  virtual void TriggerSessionConnected(int error);
  virtual void TriggerSessionClosed(int error);
  virtual void TriggerDataSent(int error);
  virtual void TriggerChangeState(TSocketState old_state, TSocketState new_state);
  virtual void TriggerDNSLookupDone(int error);
  virtual void TriggerError();
  virtual int DoRecv(void* buf, int len, int flags);
  virtual int DoRecvFrom(void* buf, int len, int flags, sockaddr_in& from);
  virtual void Do_FD_CONNECT(int error);
  virtual void Do_FD_READ(int error);
  virtual void Do_FD_WRITE(int error);
  virtual void Do_FD_ACCEPT(int error);
  virtual void Do_FD_CLOSE(int error);
  virtual void DupConnected();

  // Reports the last socket error of a call: "Error N in function F".
  void SocketError(const std::string& function, int error);
  void ChangeState(TSocketState new_state);
  // The socket event handler (message kWmAsyncSelect and fd readiness).
  void HandleSelectEvent(int events, int error);
  // Raises OnDataAvailable while data wait (see the .cpp for the stop rules).
  // draining: the peer has closed, so what waits is all there will be and
  // the loop runs until it is delivered.
  void ReceiveLoop(int error, bool no_loop, bool draining = false);
  // Raises the text and returns true unless the socket is closed (for the
  // properties that only change between sessions).
  bool RefusedUnlessClosed(const char* msg);
  // Raises the first reason why Connect cannot start; true when it can.
  bool CheckConnectable();
  // Resolves protocol, port, local port (when asked) and address where they
  // changed; raises and returns false on failure.
  bool ResolveRemote(bool local_port);
  // Connects to the already resolved remote address (sin_).
  void ConnectResolved();
  // Takes fd as the handle of a new session (fresh serial, flags and counters).
  void BeginSession(int fd);
  // Opens a descriptor of the resolved type and begins a session with it;
  // kInvalidSocket (reported as a failure of function) when that fails.
  int OpenHandle(const char* function);
  // Ends a session whose setting-up failed: no half-open socket stays behind.
  void AbandonHandle(const char* function, int error);
  // For SendTo/ReceiveFrom: false (LastError set) on a closed socket or a
  // bad buffer.
  bool DatagramCallValid(const void* buf, int len);
  // Sets SO_LINGER from LingerOnOff/LingerTimeout; false (errno set) on failure.
  bool SetLingerOption();
  void PutDataInSendBuffer(const void* data, int len);
  void DeleteBufferedData();
  // Posts a socket event to this socket's own target.
  void PostSelectEvent(int events, int error);
  void PostToSelf(uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0);
  // Registers the descriptor with the loop and selects the given events.
  void SelectEvents(int mask);
  void UpdateInterest();
  // Closes the descriptor without events or default values; returns the
  // errno of a failed close (the handle is gone either way), else 0.
  int CloseHandleQuietly();
  bool Destroying() const { return destroying_; }
  // Keeps track of this object's life across callbacks that may delete it.
  std::shared_ptr<bool> Life() const { return alive_; }
  void ApplyLinger();
  // Selects the read event again (every receive call does).
  void RearmRead() {
    if (!read_armed_) {
      read_armed_ = true;
      UpdateInterest();
    }
  }
  // Counts a receive that handed out bytes from a buffer of a derived class,
  // so the receive loop sees that its handler took data.
  void CountReceived() { ++recv_calls_; }

  EventLoop& loop_;
  int fd_ = kInvalidSocket;
  TSocketState state_ = wsClosed;
  TargetId target_ = 0;
  WatchId watch_ = 0;
  std::thread::id thread_id_;
  bool detached_ = false;
  std::vector<Message> held_;  // posted while detached, delivered after attach

  std::string addr_;
  bool addr_assigned_ = false;
  bool addr_resolved_ = false;
  std::string port_;
  bool port_assigned_ = false;
  bool port_resolved_ = false;
  std::string proto_;
  bool proto_assigned_ = false;
  bool proto_resolved_ = false;
  int protocol_ = IPPROTO_TCP;
  int sock_type_ = 1;  // SOCK_STREAM
  std::string local_addr_;
  std::string local_port_;
  bool local_port_resolved_ = false;
  uint16_t local_port_net_ = 0;
  sockaddr_in sin_{};

  TSocketLingerOnOff linger_on_off_ = wsLingerOn;
  int linger_timeout_ = 0;

  std::deque<std::unique_ptr<TBuffer>> queue_;
  int chunk_size_ = 1460;
  bool all_sent_ = true;
  TSocketSendFlags send_flags_ = wsSendNormal;

  uint64_t read_count_ = 0;
  int last_error_ = 0;
  std::string last_error_text_;
  bool paused_ = false;
  bool close_reported_ = false;
  int select_mask_ = 0;
  int current_event_ = 0;
  // Readiness bookkeeping: write interest only while data wait after a
  // would-block (or once after connect); read interest off after a pass in
  // which the handler read nothing, until the next receive call.
  bool want_write_ = false;
  bool read_armed_ = true;
  bool accept_armed_ = true;
  bool shut_write_ = false;
  uint64_t recv_calls_ = 0;   // receive calls that returned bytes
  uint64_t accept_calls_ = 0;
  uint32_t serial_ = 0;  // counts sessions; stale posted events are dropped

  // DNS
  std::shared_ptr<TDnsJob> dns_job_;
  uint64_t dns_handle_ = 0;
  std::string dns_result_;
  TStringList dns_result_list_;

  TWSocketOptions options_;
  bool multicast_ = false;
  int multicast_ttl_ = 1;
  std::string multicast_addr_;
  bool reuse_addr_ = false;
  int listen_backlog_ = 5;
  int flush_timeout_ = 60;
  bool multi_threaded_ = false;

  bool destroying_ = false;
  std::shared_ptr<bool> alive_;

 private:
  void OnFdReady(bool readable, bool writable);
  void HandleDnsReply(const Message& msg, bool reverse);
  void StartDnsJob(const std::string& query, bool reverse, const char* fname);
  // Drops a running look-up (without an event) and the last result.
  void ResetDnsLookup();
  void Dispatch(const Message& msg);
};

}  // namespace tav
