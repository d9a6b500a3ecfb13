// The socket classes of the mail stack. Include this header for TWSocket.
//
// TCustomWSocket (events, send queue, connect/close)
//  -> TCustomSocksWSocket (SOCKS 4/4A/5 client)
//   -> TCustomLineWSocket (line mode)
//    -> TCustomSyncWSocket (blocking waits)
//     -> TWSocket -> TSocksWSocket
#pragma once

#include "mail/wsocket_base.h"
#include "mail/wsocket_line.h"
#include "mail/wsocket_socks.h"

namespace tav {

class TWSocket : public TCustomSyncWSocket {
 public:
  TWSocket() = default;
};

class TSocksWSocket : public TWSocket {
 public:
  TSocksWSocket() = default;
};

}  // namespace tav
