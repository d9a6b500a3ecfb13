// TCustomSocksWSocket: the socket reaches its target through a SOCKS server
// (levels 4, 4A and 5; RFC 1928 with the user/password method of RFC 1929).
// With SocksServer empty it is a plain socket.
#pragma once

#include <string>
#include <string_view>

#include "mail/wsocket_base.h"

namespace tav {

enum TSocksState { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

// Error numbers of the SOCKS negotiation.
inline constexpr int kSocksErrDataReceive = 20000;    // "data receive error"
inline constexpr int kSocksErrLogic = 20001;          // "TWSocket logic error"
inline constexpr int kSocksErrVersion = 20002;        // "socks version error"
inline constexpr int kSocksErrMethod = 20003;         // "authentification method not acceptable"
inline constexpr int kSocksErrGeneralFailure = 20004; // replies 1..8 of RFC 1928: 20004..20011
inline constexpr int kSocksErrUnassigned = 20012;     // "unassigned error #" + code
inline constexpr int kSocksErrAuthFailed = 20013;     // "socks authentication failed"
inline constexpr int kSocksErrTooMuchData = 20014;    // "too much data availaible"
inline constexpr int kSocksErrInternal = 20015;       // "internal error"
inline constexpr int kSocksErrFieldTooLong = 20016;   // a name, user code or password over 255 bytes
// Level 4 replies other than "granted": 91 -> 20008, 92 -> 20009, 93 -> 20010.
inline constexpr int kSocks4ErrRejected = 20008;      // "request rejected or failed"
inline constexpr int kSocks4ErrNoIdentd = 20009;      // "connection refused"
inline constexpr int kSocks4ErrIdentMismatch = 20010; // "authentification failed"

using TSocksErrorNotify = std::function<void(TCustomWSocket* sender, int error, const std::string& msg)>;
using TSocksAuthStateNotify = std::function<void(TCustomWSocket* sender, TSocksAuthState state)>;

class TCustomSocksWSocket : public TCustomWSocket {
 public:
  TCustomSocksWSocket() = default;

  const std::string& SocksServer() const { return socks_server_; }
  virtual void SetSocksServer(std::string_view value);
  const std::string& SocksPort() const { return socks_port_; }
  virtual void SetSocksPort(std::string_view value);
  // "4", "4A" or "5" (default); "4a" is taken as "4A".
  const std::string& SocksLevel() const { return socks_level_; }
  void SetSocksLevel(std::string_view value);
  TSocksAuthentication SocksAuthentication() const { return socks_auth_; }
  void SetSocksAuthentication(TSocksAuthentication a) { socks_auth_ = a; }
  const std::string& SocksUsercode() const { return socks_usercode_; }
  void SetSocksUsercode(std::string_view s) { socks_usercode_ = std::string(s); }
  const std::string& SocksPassword() const { return socks_password_; }
  void SetSocksPassword(std::string_view s) { socks_password_ = std::string(s); }
  TSocksState SocksState() const { return socks_state_; }

  TSessionNotify OnSocksConnected;
  TSocksErrorNotify OnSocksError;
  TSocksAuthStateNotify OnSocksAuthState;

  void Connect() override;
  void Listen() override;

 protected:
  virtual void TriggerSocksConnected(int error);
  virtual void TriggerSocksError(int error, const std::string& msg);
  virtual void TriggerSocksAuthState(TSocksAuthState state);
  bool TriggerDataAvailable(int error) override;
  void TriggerDataSent(int error) override;
  void Do_FD_CONNECT(int error) override;
  void Do_FD_CLOSE(int error) override;
  void AssignDefaultValue() override;
  // True while the SOCKS negotiation of a connect runs.
  bool SocksNegotiating() const { return socks_state_ != socksData; }

 private:
  void SocksDoConnect();
  void SocksDoAuthenticate();
  void SocksError(int error, const std::string& msg);
  void SocksSucceeded();
  void SocksSend(const std::string& bytes);
  void HandleSocksReply();

  std::string socks_server_;
  std::string socks_port_ = "1080";
  std::string socks_level_ = "5";
  TSocksAuthentication socks_auth_ = socksNoAuthentication;
  std::string socks_usercode_;
  std::string socks_password_;
  TSocksState socks_state_ = socksData;
  bool socks_pending_ = false;     // the connect goes through the server
  uint16_t socks_target_port_ = 0; // network order
  uint32_t socks_target_addr_ = 0; // network order (level 4)
  std::string socks_reply_;        // reply bytes read so far
  std::size_t socks_need_ = 0;     // reply bytes the current step waits for
};

}  // namespace tav
