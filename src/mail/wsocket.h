// The socket classes of the mail stack. Include this header for TWSocket.
#pragma once

#include "mail/wsocket_base.h"

namespace tav {

class TWSocket : public TCustomWSocket {
 public:
  TWSocket() = default;
};

}  // namespace tav
