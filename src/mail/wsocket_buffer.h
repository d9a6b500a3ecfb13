// TBuffer: one chunk of a socket's send queue. Bytes are written behind the
// stored ones and read (sent) from the front; once everything written has
// been read, both positions return to the start of the block.
#pragma once

#include <cstdint>
#include <memory>

namespace tav {

class TBuffer {
 public:
  static constexpr int kDefaultSize = 1514;

  // A size of 0 or less means kDefaultSize.
  explicit TBuffer(int size = kDefaultSize);

  // Copies min(len, free space) bytes behind the stored ones; returns the count.
  int Write(const void* data, int len);
  // Copies min(len, unsent) bytes out and advances the read position.
  int Read(void* dest, int len);
  // First unsent byte and the number of unsent bytes (nullptr and 0 when empty).
  const char* Peek(int& len) const;
  // Drops min(len, unsent) bytes from the front.
  void Remove(int len);
  // Resizes the block; pending bytes survive. n <= 0 means kDefaultSize.
  void SetBufSize(int n);

  int BufSize() const { return size_; }
  int WrCount() const { return wr_; }
  int RdCount() const { return rd_; }
  int Pending() const { return wr_ - rd_; }
  int Free() const { return size_ - wr_; }

 private:
  std::unique_ptr<char[]> data_;
  int32_t size_ = 0;
  int32_t wr_ = 0;  // bytes stored
  int32_t rd_ = 0;  // bytes already read
};

}  // namespace tav
