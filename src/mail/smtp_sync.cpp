// TSyncSmtpCli: the requests as blocking calls with a timeout.
#include <algorithm>

#include "mail/smtp.h"

namespace tav {

bool TSyncSmtpCli::WaitUntilReady() {
  deadline_ = TickCount() + static_cast<uint32_t>(std::max(Timeout, 0)) * 1000u;
  EventLoop& loop = MultiThreaded ? socket_->Loop() : MainLoop();
  for (;;) {
    if (state_ == smtpReady) return last_request_error_ == 0;
    if (loop.QuitRequested()) break;
    int wait = 1000;
    if (Timeout > 0) {
      // The deadline moves while data lines go out, so it is read every pass.
      auto left = static_cast<int32_t>(deadline_ - TickCount());
      if (left <= 0) break;
      wait = std::min(wait, static_cast<int>(left));
    }
    loop.ProcessEvents(wait);
  }
  Abort();
  error_message_ = "426 Timeout";
  status_code_ = 426;
  return false;
}

void TSyncSmtpCli::TriggerGetData(int line_num, std::string& line, int max_len, bool& more) {
  deadline_ = TickCount() + static_cast<uint32_t>(std::max(Timeout, 0)) * 1000u;
  TSmtpCli::TriggerGetData(line_num, line, max_len, more);
}

bool TSyncSmtpCli::ConnectSync() { Connect(); return WaitUntilReady(); }
bool TSyncSmtpCli::HeloSync() { Helo(); return WaitUntilReady(); }
bool TSyncSmtpCli::EhloSync() { Ehlo(); return WaitUntilReady(); }
bool TSyncSmtpCli::AuthSync() { Auth(); return WaitUntilReady(); }
bool TSyncSmtpCli::VrfySync() { Vrfy(); return WaitUntilReady(); }
bool TSyncSmtpCli::OpenSync() { Open(); return WaitUntilReady(); }
bool TSyncSmtpCli::MailFromSync() { MailFrom(); return WaitUntilReady(); }
bool TSyncSmtpCli::RcptToSync() { RcptTo(); return WaitUntilReady(); }
bool TSyncSmtpCli::DataSync() { Data(); return WaitUntilReady(); }
bool TSyncSmtpCli::MailSync() { Mail(); return WaitUntilReady(); }
bool TSyncSmtpCli::QuitSync() { Quit(); return WaitUntilReady(); }
bool TSyncSmtpCli::RsetSync() { Rset(); return WaitUntilReady(); }
bool TSyncSmtpCli::AbortSync() { Abort(); return WaitUntilReady(); }

}  // namespace tav
