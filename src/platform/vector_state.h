// The upper halves of the processor's 256-bit vector registers.
//
// Qt's drawing (QPainter::fillRect and others) runs AVX code that returns
// with the upper halves of the ymm registers still in use. This program is
// built for plain SSE; while those halves are in use, many processors make
// every SSE instruction merge or wait for them, and the program's number
// loops then run several times slower (measured: about 3.5x on a loop of
// float and double arithmetic) until some code clears them. Nothing of this
// program's own code clears them, and the C library's string functions on
// AVX-512 processors do not either.
//
// ClearUpperVectorState() clears them (vzeroupper) where the processor has
// AVX, and does nothing elsewhere. It changes no value: the lower 128 bits
// of every register, all this program uses, are kept. Call it after handing
// work to Qt's drawing and before long number loops.
#pragma once

namespace tav {

inline void ClearUpperVectorState() {
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__AVX__)
  if (__builtin_cpu_supports("avx")) __asm__ __volatile__("vzeroupper");
#endif
}

}  // namespace tav
