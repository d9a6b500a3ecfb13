// The mail window: its settings file, the steps of a send against a scripted
// client, and a trip mailed to a real server.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "core/core_test_util.h"
#include "core/trip_file.h"
#include "mail/mail_form.h"
#include "mail/md5.h"
#include "mail/smtp_test_support.h"
#include "platform/text.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

// Ends each request from the loop with the error the test chose, or never
// (a silent server); records what the form asked for.
class ScriptedClient : public TSmtpCli {
 public:
  std::map<TSmtpRequest, int> result;
  bool silent = false;
  std::vector<std::string> calls;

  void Open() override {
    calls.push_back(AuthType == smtpAuthLogin ? "Open login " + Username : "Open");
    End(smtpOpen);
  }
  void Mail() override {
    std::string to;
    for (const auto& r : RcptName) to += " <" + r + ">";
    calls.push_back("Mail" + to + " files " + std::to_string(EmailFiles().Count()));
    End(smtpMail);
  }
  void Quit() override {
    calls.push_back("Quit");
    End(smtpQuit);
  }
  void Abort() override { calls.push_back("Abort"); }

 private:
  void End(TSmtpRequest r) {
    if (!silent) socket_->Loop().Post(target_, Message{kWmSmtpRequestDone, static_cast<uintptr_t>(r), result[r]});
  }
};

class MailForm : public testing_core::CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    fs::create_directories(FsPath(SettingsDir));
    Application().ShownMessages.clear();
    form = std::make_unique<TForm80>();
  }
  void TearDown() override {
    form.reset();
    CoreFixture::TearDown();
  }
  void Open(int tag) {
    form->Tag = tag;
    form->Show();
  }
  ScriptedClient& Scripted() {
    auto client = std::make_unique<ScriptedClient>();
    ScriptedClient& c = *client;
    form->UseClient(std::move(client));
    return c;
  }
  // Opens the send panel, sends and waits until the send has ended.
  void Send() {
    form->B_Send->DoClick();
    ASSERT_TRUE(MainLoop().RunUntil([&] { return !form->Sending(); }, 15000));
  }
  fs::path SettingsFile() const { return FsPath(MailSetPath); }

  std::unique_ptr<TForm80> form;
};

MailSettingsLines SampleSettings() {
  return {"smtp.example.org", "587", "J\xFCrgens PC", "tim", "geheim \x80", "Meine \x84" "Fahrt\x93", "rider@example.org",
          "rider@example.org", "coach@example.org; b@example.org", "a@example.org", "b@example.org", "c@example.org",
          "d@example.org", "e@example.org", "f@example.org", "g@example.org", "h@example.org", "i@example.org",
          "j@example.org"};
}

TEST_F(MailForm, SettingsGoThroughTheFormByteForByte) {
  struct Row {
    std::string file;      // as it lies on disk ("" none)
    std::string written;   // after Accept
    bool warned;           // a message names the file, which is kept as .BAD
  };
  const std::string full = EncodeMailSettings(SampleSettings());
  MailSettingsLines unsorted = SampleSettings();
  std::swap(unsorted[kMailBook], unsorted[kMailBook + 9]);
  MailSettingsLines defaults = {"smtp.?????", "25", "Name", "??????", "", "Meine neuste Fahrt",
                                "E-MAIL ADRESSE Sender", "E-MAIL ADRESSE Sender", "E-MAIL ADRESSE Empf\xE4nger"};
  for (int i = 0; i < 10; ++i) defaults[kMailBook + static_cast<std::size_t>(i)] = Format("z_Mail_Adr_%02i", i + 1);
  MailSettingsLines short_file = defaults;
  short_file[kMailHost] = "mail.example.org";
  short_file[kMailPort] = "2525";
  const Row rows[] = {{full, full, false},
                      {EncodeMailSettings(unsorted), full, false},
                      {"mail.example.org\r\n2525\r\n", EncodeMailSettings(short_file), true},
                      {"", EncodeMailSettings(defaults), false}};
  for (const Row& row : rows) {
    fs::remove_all(FsPath(SettingsDir));
    fs::create_directories(FsPath(SettingsDir));
    if (!row.file.empty()) testing_core::WriteBytes(SettingsFile(), row.file);
    Application().ShownMessages.clear();
    Open(10);
    EXPECT_TRUE(form->ToolsPanel->Visible);
    EXPECT_EQ(Application().ShownMessages.size(), row.warned ? 1u : 0u);
    if (row.warned) {
      EXPECT_NE(Application().ShownMessages[0].find(MailSetPath), std::string::npos);
    }
    form->SET_Mail_OK->DoClick();
    EXPECT_FALSE(form->Visible);
    EXPECT_EQ(testing_core::FileBytes(SettingsFile()), row.written);
    // The password stands in clear: only the owner may read the file.
    EXPECT_EQ(fs::status(SettingsFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::exists(SettingsFile().string() + ".BAD"), row.warned);
    if (row.warned) {
      EXPECT_EQ(testing_core::FileBytes(SettingsFile().string() + ".BAD"), row.file);
    }
  }

  // Send mode shows them; Cancel writes nothing.
  testing_core::WriteBytes(SettingsFile(), full);
  Open(20);
  EXPECT_TRUE(form->P_DO->Visible);
  EXPECT_EQ(form->Sel_MailTo->Items.Lines(), form->CB_Adr->Items.Lines());
  EXPECT_EQ(form->SubjectEd_1->Text, "Meine \x84" "Fahrt\x93");
  EXPECT_EQ(form->SmtpClient->Password, "geheim \x80");
  form->Close();
  Open(10);
  form->HostEdit->Text = "changed";
  form->SET_Mail_No->DoClick();
  EXPECT_EQ(testing_core::FileBytes(SettingsFile()), full);
}

TEST_F(MailForm, AddressBookEntriesAreEditedInPlaceAndStaySorted) {
  Open(10);
  form->CB_Adr->DoEnter();
  form->CB_Adr->DoSelect(2);
  form->CB_Adr->DoSetText("coach@example.org");
  char enter = '\r';
  form->CB_Adr->DoKeyPress(enter);
  EXPECT_EQ(enter, 0);
  EXPECT_EQ(form->CB_Adr->Items[0], "coach@example.org");
  EXPECT_EQ(form->CB_Adr->Items.IndexOf("z_Mail_Adr_03"), -1);
  // Leaving the box stores the edit as well, also where the user came back later.
  form->CB_Adr->DoEnter();
  form->CB_Adr->DoSelect(9);
  form->CB_Adr->DoSetText("a@example.org");
  form->HostEdit->DoEnter();
  EXPECT_EQ(form->CB_Adr->Items[0], "a@example.org");
  EXPECT_EQ(form->CB_Adr->Items.Count(), 10);
  form->SET_Mail_OK->DoClick();
  MailSettingsFile file;
  ASSERT_TRUE(ReadMailSettings(SettingsFile(), file));
  EXPECT_EQ(file.Lines[kMailBook], "a@example.org");
  EXPECT_EQ(file.Lines[kMailBook + 1], "coach@example.org");
  EXPECT_EQ(file.Lines[kMailBook + 9], "z_Mail_Adr_09");
}

// Each step follows the end of the request before it; a failure shows its
// text and still says goodbye to the server.
TEST_F(MailForm, SendStepsFollowTheRequestEnds) {
  struct Row {
    int open_error, mail_error;
    std::string shown;  // "" MsgMailSent
    std::vector<std::string> calls;
  };
  const std::string mail = "Mail <a@example.org> <b@example.org> files 0";
  const Row rows[] = {{0, 0, "", {"Open login tim", mail, "Quit"}},
                      {535, 0, "Wrong account or password", {"Open login tim", "Quit"}},
                      {11001, 0, "You have to be online to send mails", {"Open login tim", "Quit"}},
                      {11004, 0, "Wrong smpt host ", {"Open login tim", "Quit"}},
                      {500, 0, "RequestDone Rq=8 Error=500", {"Open login tim", "Quit"}},
                      {0, 550, "RequestDone Rq=9 Error=550", {"Open login tim", mail, "Quit"}}};
  for (const Row& row : rows) {
    ScriptedClient& c = Scripted();
    c.result = {{smtpOpen, row.open_error}, {smtpMail, row.mail_error}};
    Open(20);
    form->KW_Edit->Text = "tim";
    form->Sel_MailTo->Text = " a@example.org; ;b@example.org;";
    Send();
    EXPECT_EQ(c.calls, row.calls) << row.open_error << " " << row.mail_error;
    EXPECT_TRUE(form->Mail_Error->Visible);
    EXPECT_EQ(form->Mail_Error->Text, row.shown.empty() ? form->MsgMailSent : row.shown);
    EXPECT_EQ(form->Mail_Error->Color, row.shown.empty() ? clLime : clYellow);
    EXPECT_EQ(form->SendStep, 99);
    EXPECT_FALSE(form->Bar->Visible);
    const auto& log = form->DisplayMemo->Lines;
    EXPECT_EQ(log.IndexOf("CLICK_QUIT") >= 0, row.shown.empty());
    EXPECT_EQ(log.IndexOf("RequestDone Rq=6 Error=0"), log.Count() - 1);
    form->Close();
  }
  // Without an account name the server is greeted without a login.
  ScriptedClient& c = Scripted();
  Open(20);
  form->KW_Edit->Text = " ";
  Send();
  EXPECT_EQ(c.calls.at(0), "Open");
}

TEST_F(MailForm, OneSendAtATimeAndExitOrASilentServerEndsIt) {
  ScriptedClient& c = Scripted();
  c.silent = true;
  Open(20);
  form->B_Send->DoClick();
  form->B_Send->DoClick();
  EXPECT_EQ(c.calls, (std::vector<std::string>{"Open login ??????"}));
  form->B_Break->DoClick();
  EXPECT_FALSE(form->Visible);
  EXPECT_FALSE(form->Sending());
  EXPECT_EQ(c.calls.back(), "Abort");

  // A server that stops answering is given up after the inactivity limit.
  form->InactivityLimitMs = 40;
  Open(20);
  form->B_Send->DoClick();
  ASSERT_TRUE(MainLoop().RunUntil([&] { return !form->Sending(); }, 5000));
  EXPECT_EQ(c.calls.back(), "Abort");
  EXPECT_TRUE(form->Mail_Error->Visible);
  EXPECT_EQ(form->Mail_Error->Text, form->MsgNoAnswer);

  // The next send goes through, once.
  c.silent = false;
  c.calls.clear();
  Send();
  ASSERT_EQ(c.calls.size(), 3u);
  EXPECT_EQ(form->Mail_Error->Text, form->MsgMailSent);
  MainLoop().RunUntil([] { return false; }, 60);
  EXPECT_EQ(c.calls.size(), 3u);
}

TEST_F(MailForm, TextLinesByNumberWholeAndACommentAfterFrom) {
  Open(20);
  const std::string long_line(1500, 'x');
  form->MsgMemo->Lines = TStringList{"Hallo", "", long_line};
  TSmtpCli& c = *form->SmtpClient;
  for (auto [n, expected, more] : {std::tuple{1, "Hallo", true}, {2, "", true}, {3, long_line.c_str(), true},
                                   {4, "", false}, {0, "", false}}) {
    std::string line;
    bool go_on = true;
    c.OnGetData(&c, n, line, kSmtpDataLineMax, go_on);
    EXPECT_EQ(go_on, more) << n;
    EXPECT_EQ(line, expected) << n;
  }
  for (auto [header, sent] : {std::pair{"From: a@b.org", "From: a@b.org\r\nComments: This is a test"},
                              {"FROM:x", "FROM:x\r\nComments: This is a test"},
                              {"Sender: From:", "Sender: From:"}, {"Fro", "Fro"}}) {
    std::string line = header;
    c.OnHeaderLine(&c, line, kSmtpHeaderLineSize);
    EXPECT_EQ(line, sent);
  }
}

// A trip, a subject with the euro sign and a line longer than SMTP allows,
// sent through the form to a real server and read back by Python's email
// package.
TEST_F(MailForm, SendsATripToARealServer) {
  smtptest::PythonSmtpPeer peer("{}");
  ASSERT_TRUE(peer.Ok()) << peer.StdErr();
  testing_core::LoadIntoCurrent(testing_core::DemoRide(7, 1800));
  const fs::path trip = FsPath(RiderDir) / "20240403_1306510_TAV.DEO";
  ASSERT_TRUE(WriteDeoFile(trip));
  form->Display_Files->Lines.Add(PathText(trip));
  std::string shown;
  auto display = form->SmtpClient->OnDisplay;
  form->SmtpClient->OnDisplay = [&](TCustomSmtpClient* s, const std::string& m) {
    shown += m + "\n";
    display(s, m);
  };
  Open(20);
  form->HostEdit->Text = "127.0.0.1";
  form->PortEdit->Text = peer.PortStr();
  form->KW_Edit->Text = "tim";
  form->PW_Edit->Text = "tanstaaftanstaaf";
  form->FromEdit->Text = "rider@example.org";
  form->Sel_MailTo->Text = "coach@example.org";
  form->SubjectEd_1->Text = "Fahrt \x96 3 \x80";
  const std::string long_line = std::string(1497, 'x') + "end";
  form->MsgMemo->Lines = TStringList{"Hallo", "", long_line};
  Send();
  EXPECT_EQ(form->Mail_Error->Text, form->MsgMailSent) << shown.substr(0, 2000) << peer.StdErr();

  smtptest::MessageReport m = peer.Message(1);
  EXPECT_EQ(m.One("defects"), "0") << smtptest::Joined(m.All("defect"));
  EXPECT_EQ(smtptest::Unhex(m.One("subject")), "Fahrt \x96 3 \x80");
  const auto headers = m.All("header");
  for (const char* h : {"Message-ID", "Comments"})
    EXPECT_NE(std::find(headers.begin(), headers.end(), h), headers.end()) << h;
  const auto attachment = smtptest::Split(m.One("attachment"), "\t");
  ASSERT_GE(attachment.size(), 6u);
  EXPECT_EQ(smtptest::Unhex(attachment[0]), trip.filename().string());
  EXPECT_EQ(attachment[4], FileMD5(trip));
  const auto text = smtptest::Split(m.One("text"), "\t");
  ASSERT_EQ(text.size(), 4u);
  EXPECT_EQ(smtptest::Unhex(text[3]), "Hallo\r\n\r\n" + long_line + "\r\n");
  // The password went over the wire, never into the log.
  EXPECT_NE(shown.find("> AUTH LOGIN"), std::string::npos);
  for (const std::string& secret : {std::string("tanstaaftanstaaf"), Base64Encode("tanstaaftanstaaf")})
    EXPECT_EQ(shown.find(secret), std::string::npos);
}

}  // namespace
}  // namespace tav
