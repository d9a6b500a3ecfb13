// Asynchronous name look-ups: each runs getaddrinfo/getnameinfo on a thread
// of its own and posts its end to the socket's message target. A look-up
// that was cancelled (or whose socket was destroyed) posts nothing.
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "mail/wsocket_base.h"

namespace tav {

struct TDnsJob {
  std::mutex mutex;
  bool cancelled = false;  // guarded by mutex
  EventLoop* loop = nullptr;
  TargetId target = 0;
  uint64_t handle = 0;
  std::string query;
  bool reverse = false;
  // Results, written by the thread under mutex.
  int error = 0;
  std::vector<std::string> results;
};

namespace {

std::atomic<uint64_t> g_next_dns_handle{1};

void RunDnsJob(const std::shared_ptr<TDnsJob>& job) {
  int error = 0;
  std::vector<std::string> results;
  THostEntry entry;
  if (!job->reverse) {
    error = WSocketLookUpName(job->query, entry, false);
    for (uint32_t a : entry.addresses) results.push_back(WSocketIpToStr(a));
  } else {
    uint32_t a = 0;
    WSocketParseDotted(job->query, a);
    error = WSocketLookUpAddr(a, entry);
    if (error == 0) results.push_back(entry.name);
  }
  std::lock_guard lock(job->mutex);
  job->error = error;
  job->results = std::move(results);
  // Posting under the lock: once a canceller holds the lock, nothing more is posted.
  if (!job->cancelled)
    job->loop->Post(job->target, Message{job->reverse ? kWmAsyncGetHostByAddr : kWmAsyncGetHostByName,
                                         static_cast<uintptr_t>(job->handle), 0});
}

void CancelJob(const std::shared_ptr<TDnsJob>& job) {
  if (!job) return;
  std::lock_guard lock(job->mutex);
  job->cancelled = true;
}

}  // namespace

void TCustomWSocket::StartDnsJob(const std::string& query, bool reverse, const char* fname) {
  auto job = std::make_shared<TDnsJob>();
  job->loop = &loop_;
  job->target = target_;
  job->handle = g_next_dns_handle.fetch_add(1);
  job->query = query;
  job->reverse = reverse;
  try {
    std::thread([job] { RunDnsJob(job); }).detach();
  } catch (const std::system_error& e) {
    last_error_ = WsaErrorFromErrno(e.code().value());
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", fname, last_error_);
    return;
  }
  dns_job_ = std::move(job);
  dns_handle_ = dns_job_->handle;
}

void TCustomWSocket::ResetDnsLookup() {
  CancelJob(dns_job_);
  dns_job_.reset();
  dns_handle_ = 0;
  dns_result_.clear();
  dns_result_list_.Clear();
}

void TCustomWSocket::DnsLookup(std::string_view host_in) {
  std::string host = WSocketTrim(host_in);
  if (host.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    TriggerDNSLookupDone(kWsaEInval);
    return;
  }
  ResetDnsLookup();
  if (WSocketIsDottedIP(host)) {
    uint32_t a = 0;
    WSocketParseDotted(host, a);
    dns_result_ = WSocketIpToStr(a);
    dns_result_list_.Add(dns_result_);
    TriggerDNSLookupDone(0);
    return;
  }
  // A detached socket starts no look-up (one already running is held).
  if (target_ == 0 || detached_) {
    RaiseException("DnsLookup: Window not assigned");
    return;
  }
  StartDnsJob(host, false, "DnsLookup");
}

void TCustomWSocket::ReverseDnsLookup(std::string_view addr_in) {
  std::string addr = WSocketTrim(addr_in);
  if (addr.empty() || !WSocketIsDottedIP(addr)) {
    RaiseException("ReverseDnsLookup: Invalid host name.");
    TriggerDNSLookupDone(kWsaEInval);
    return;
  }
  ResetDnsLookup();
  if (target_ == 0 || detached_) {
    RaiseException("ReverseDnsLookup: Window not assigned");
    return;
  }
  StartDnsJob(addr, true, "ReverseDnsLookup");
}

void TCustomWSocket::CancelDnsLookup() {
  if (!dns_job_) return;
  CancelJob(dns_job_);
  dns_job_.reset();
  dns_handle_ = 0;
  if (!destroying_) TriggerDNSLookupDone(kWsaEIntr);
}

void TCustomWSocket::HandleDnsReply(const Message& msg, bool reverse) {
  if (!dns_job_ || msg.wparam != dns_handle_ || dns_job_->reverse != reverse) return;
  auto job = std::move(dns_job_);
  dns_handle_ = 0;
  int error;
  std::vector<std::string> results;
  {
    std::lock_guard lock(job->mutex);
    error = job->error;
    results = job->results;
  }
  dns_result_list_.Clear();
  dns_result_.clear();
  if (error == 0) {
    for (auto& r : results) dns_result_list_.Add(r);
    if (!results.empty()) dns_result_ = results.front();
  }
  TriggerDNSLookupDone(error);
}

}  // namespace tav
