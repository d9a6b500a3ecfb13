// TForm80: the mail window. Opened with Tag 10 it shows the mail settings
// (server, account, sender, address book) and stores them in MAIL_SET.GRD;
// with Tag 20 it mails the trip files marked in the diary, with a short
// text, over SMTP.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "mail/mail_settings.h"
#include "mail/smtp.h"
#include "platform/controls.h"

class TForm80 : public tav::TForm {
 public:
  TForm80();
  ~TForm80() override;

  // Settings panel (Tag 10).
  tav::TPanel* ToolsPanel = nullptr;
  tav::TEdit *HostEdit = nullptr, *PortEdit = nullptr, *KW_Edit = nullptr, *PW_Edit = nullptr;
  tav::TEdit *FromEdit = nullptr, *SubjectEdit = nullptr, *SignOnEdit = nullptr;
  tav::TComboBox* CB_Adr = nullptr;  // the address book; Tag: the entry being edited
  tav::TButton *SET_Mail_OK = nullptr, *SET_Mail_No = nullptr;
  tav::TLabel *L_SMTP = nullptr, *L_Port = nullptr, *L_Konto = nullptr, *L_PWort = nullptr;
  tav::TLabel *L_Absender = nullptr, *L_Nach_1 = nullptr, *L_Betreff_1 = nullptr, *L_Sign = nullptr;

  // Send panel (Tag 20).
  tav::TPanel* P_DO = nullptr;
  tav::TComboBox* Sel_MailTo = nullptr;
  tav::TEdit* SubjectEd_1 = nullptr;
  tav::TMemo* MsgMemo = nullptr;
  // The attached files of send mode, filled by the opener.
  tav::TMemo* Display_Files = nullptr;
  tav::TMemo* FileAttachMemo = nullptr;  // the paths actually attached
  tav::TButton *B_Send = nullptr, *B_Break = nullptr;
  tav::TProgressBar* Bar = nullptr;  // Tag counts the log's changes
  tav::TEdit* Mail_Error = nullptr;  // the result line
  tav::TMemo* DisplayMemo = nullptr;  // the hidden log
  tav::TLabel *L_Nach_2 = nullptr, *L_Betreff_2 = nullptr;

  // Under both panels, out of the user's reach.
  tav::TEdit* ToEdit = nullptr;  // recipients of the next mail, ";"-separated
  tav::TButton *OpenButton = nullptr, *QuitButton = nullptr, *Button1 = nullptr, *Button2 = nullptr;
  tav::TListBox* SetMail_GRD = nullptr;  // the lines of MAIL_SET.GRD as last read
  tav::TLabel* Label6 = nullptr;
  tav::TOpenDialog OpenDialog;

  std::unique_ptr<tav::TSmtpCli> SmtpClient;

  int32_t SendStep = 0;  // 0 idle or failed, 10 open running, 11 mail running, 99 quit sent
  int32_t ConnectTries = 0;
  std::string MsgBadAccount = "Wrong account or password";
  std::string MsgOffline = "You have to be online to send mails";
  std::string MsgHostError = "Wrong smpt host ";
  std::string MsgMailSent = "Mail was sending ";
  std::string MsgGaveUp = "Last 4 attempts failed, process canceled";
  // Shown when a reply has not ended InactivityLimitMs after the command
  // (or the data) before it, during a send.
  std::string MsgNoAnswer() const;
  int InactivityLimitMs = 60000;
  // The answer to the end of the message may take as long as the mail
  // standard gives servers for it (they may be scanning the attachments):
  // after CheckingNoticeMs the window says that the server is still
  // checking the message; after DataEndLimitMs the send is given up.
  int DataEndLimitMs = 600000;
  int CheckingNoticeMs = 2000;
  std::string MsgChecking() const;
  // Given up at the end of the message: the mail may have arrived all the same.
  std::string MsgNotConfirmed() const;

  // Puts another client in place (tests: a scripted one) and binds its events.
  void UseClient(std::unique_ptr<tav::TSmtpCli> client);
  // A send is on its way (opening, mailing or quitting).
  bool Sending() const { return SendStep == 10 || SendStep == 11 || quitting_; }

  void FormShow(tav::TControl* sender);
  void FormActivate(tav::TControl* sender);
  void FormClose(tav::TControl* sender, tav::TCloseAction& action);
  void HostEditKeyPress(tav::TControl* sender, char& key);
  void CB_AdrEnter(tav::TControl* sender);
  void CB_AdrClick(tav::TControl* sender);
  void CB_AdrKeyPress(tav::TControl* sender, char& key);
  void CB_AdrExit(tav::TControl* sender);
  void SET_Mail_OKClick(tav::TControl* sender);
  void SET_Mail_NoClick(tav::TControl* sender);
  void Button2Click(tav::TControl* sender);
  void B_SendClick(tav::TControl* sender);
  void B_BreakClick(tav::TControl* sender);
  void QuitButtonClick(tav::TControl* sender);

  // The client's events.
  void SmtpClientDisplay(tav::TCustomSmtpClient* sender, const std::string& msg);
  void SmtpClientRequestDone(tav::TCustomSmtpClient* sender, tav::TSmtpRequest request, uint16_t error);
  void SmtpClientSessionConnected(tav::TCustomSmtpClient* sender, int error);
  void SmtpClientCommand(tav::TCustomSmtpClient* sender, const std::string& command);
  void SmtpClientGetData(tav::TCustomSmtpClient* sender, int line_num, std::string& line, int max_len, bool& more);

 private:
  void LayoutPanels();
  void LoadFiles();  // once per opening
  tav::MailSettingsLines SettingsFromEdits() const;
  // What is wrong with a damaged settings file, in the chosen language.
  std::string DamageText() const;
  void AccountToClient();  // host, port, sign-on, account and password
  void StoreAddressEntry();
  void AppendLog(const std::string& line);
  void StartMail();
  void ShowResult(const std::string& text, tav::TColor color);
  void Fail(const std::string& text);
  // The name of the first attached file that is no longer there, in a
  // sentence of the chosen language; empty when all are there.
  std::string MissingAttachment() const;
  // What went wrong with a request, in the chosen language, the code in brackets.
  std::string FailureText(tav::TSmtpRequest request, int error) const;
  // A connection to the server that could not be made: host and port, the
  // socket's error in brackets.
  std::string ConnectFailureText(int socket_error) const;
  void AbortSend();
  void StallCheck();

  tav::TTimer* StallTimer = nullptr;
  bool opening_ = false;  // shown, the files not yet read
  bool quitting_ = false;
  uint32_t last_activity_ = 0;  // the last command or data sent, or the last reply ended
  bool awaiting_data_end_ = false;  // the message's end is sent, its answer not yet in
  bool checking_shown_ = false;
  tav::MailSettingsFile settings_file_;  // as read at this opening
};

extern TForm80* Form80;
