#include "mail/wsocket_buffer.h"

#include <algorithm>
#include <cstring>

namespace tav {

TBuffer::TBuffer(int size) {
  size_ = size > 0 ? size : kDefaultSize;
  data_ = std::make_unique<char[]>(static_cast<std::size_t>(size_));
}

int TBuffer::Write(const void* data, int len) {
  if (len <= 0 || data == nullptr) return 0;
  int n = std::min(len, size_ - wr_);
  if (n <= 0) return 0;
  std::memcpy(data_.get() + wr_, data, static_cast<std::size_t>(n));
  wr_ += n;
  return n;
}

int TBuffer::Read(void* dest, int len) {
  if (len <= 0 || dest == nullptr) return 0;
  int n = std::min(len, wr_ - rd_);
  if (n <= 0) return 0;
  std::memcpy(dest, data_.get() + rd_, static_cast<std::size_t>(n));
  rd_ += n;
  if (rd_ == wr_) rd_ = wr_ = 0;
  return n;
}

const char* TBuffer::Peek(int& len) const {
  len = wr_ - rd_;
  return len > 0 ? data_.get() + rd_ : nullptr;
}

void TBuffer::Remove(int len) {
  if (len <= 0) return;
  rd_ += std::min(len, wr_ - rd_);
  if (rd_ == wr_) rd_ = wr_ = 0;
}

void TBuffer::SetBufSize(int n) {
  if (n <= 0) n = kDefaultSize;
  if (n == size_) return;
  // Pending bytes move to the front of the new block; when they do not fit,
  // the block grows to hold them rather than losing any.
  int pending = wr_ - rd_;
  int size = std::max(n, pending);
  auto block = std::make_unique<char[]>(static_cast<std::size_t>(size));
  if (pending > 0) std::memcpy(block.get(), data_.get() + rd_, static_cast<std::size_t>(pending));
  data_ = std::move(block);
  size_ = size;
  rd_ = 0;
  wr_ = pending;
}

}  // namespace tav
