// The mail window's fields as the rider meets them: the defaults of each
// opening, Enter moving on, the hidden password, a settings file one line
// short, and the progress of a long send with the log it keeps.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "mail/mail_form.h"
#include "mail/smtp_test_support.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

class MailFormFields : public testing_core::CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    form = std::make_unique<TForm80>();
  }
  void Open(int tag) {
    form->Tag = tag;
    form->Show();
  }
  std::unique_ptr<TForm80> form;
};

// Without a settings file every opening shows the default subject, also
// after another one was typed; the password is shown as stars.
TEST_F(MailFormFields, EachOpeningStartsFromTheDefaults) {
  for (int round = 0; round < 2; ++round) {
    Open(20);
    EXPECT_EQ(form->SubjectEd_1->Text, "Meine neuste Fahrt") << round;
    EXPECT_EQ(form->Sel_MailTo->Text, "z_Mail_Adr_01") << round;
    form->SubjectEd_1->Text = "Bergfahrt";
    form->Close();
  }
  EXPECT_EQ(form->PW_Edit->PasswordChar, '*');
}

// Enter in a field of the settings is swallowed and moves to the next field.
TEST_F(MailFormFields, EnterMovesToTheNextField) {
  Open(10);
  const std::pair<TControl*, TControl*> moves[] = {{form->HostEdit, form->PortEdit}, {form->PortEdit, form->KW_Edit},
                                                   {form->KW_Edit, form->PW_Edit}};
  for (auto [from, to] : moves) {
    from->SetFocus();
    char key = '\r';
    from->DoKeyPress(key);
    EXPECT_EQ(key, 0) << from->Name;
    EXPECT_TRUE(to->Focused()) << from->Name;
  }
  // Any other key stays with the field.
  form->HostEdit->SetFocus();
  char key = 'a';
  form->HostEdit->DoKeyPress(key);
  EXPECT_EQ(key, 'a');
  EXPECT_TRUE(form->HostEdit->Focused());
}

// A file one line short of its nineteen, and one complete: the short one
// is named with its count, the complete one says nothing.
TEST_F(MailFormFields, AFileOneLineShortIsNamed) {
  MailSettingsLines lines;
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = "l" + std::to_string(i);
  lines[kMailSender2] = lines[kMailSender];
  const std::string full = EncodeMailSettings(lines);
  const std::string short_file = full.substr(0, full.size() - (lines[18].size() + 2));
  for (const auto& [file, said] : {std::pair{short_file, std::string("holds 18 lines instead of 19, the missing settings show defaults")},
                                   std::pair{full, std::string()}}) {
    testing_core::WriteBytes(FsPath(MailSetPath), file);
    Application().ShownMessages.clear();
    Open(10);
    if (said.empty()) {
      EXPECT_TRUE(Application().ShownMessages.empty());
    } else {
      ASSERT_EQ(Application().ShownMessages.size(), 1u);
      EXPECT_NE(Application().ShownMessages[0].find(said), std::string::npos) << Application().ShownMessages[0];
      // The tenth address is missing: the book shows its default in its place.
      EXPECT_GE(form->CB_Adr->Items.IndexOf("z_Mail_Adr_10"), 0);
    }
    form->Close();
  }
}

// A long text: the log keeps at most 101 lines, ends with the goodbye, and
// the progress bar moved one step per 50 lines of the log, starting again
// after 99.
TEST_F(MailFormFields, ALongSendKeepsAShortLogAndTheBarGoesRound) {
  bool in_data = false;
  int log_changes = 0;
  smtptest::ScriptedPeer peer({smtptest::Send("220 ready\r\n")}, [&](const std::string& line) {
    std::vector<smtptest::Chunk> r;
    if (in_data) {
      if (line == ".") {
        in_data = false;
        r.push_back(smtptest::Send("250 queued\r\n"));
      }
      return r;
    }
    if (line.rfind("DATA", 0) == 0) {
      in_data = true;
      r.push_back(smtptest::Send("354 go\r\n"));
    } else if (line == "QUIT") {
      r.push_back(smtptest::Send("221 bye\r\n"));
      r.push_back(smtptest::CloseConn());
    } else {
      r.push_back(smtptest::Send("250 ok\r\n"));
    }
    return r;
  });
  Open(20);
  form->HostEdit->Text = "127.0.0.1";
  form->PortEdit->Text = peer.PortStr();
  form->KW_Edit->Text.clear();
  form->FromEdit->Text = "r@x.org";
  form->Sel_MailTo->Text = "c@x.org";
  TStringList text;
  for (int i = 0; i < 5100; ++i) text.Add("line " + std::to_string(i));
  form->MsgMemo->Lines = text;
  // Counts every line the window's log takes.
  auto display = form->SmtpClient->OnDisplay;
  form->SmtpClient->OnDisplay = [&](TCustomSmtpClient* s, const std::string& m) {
    ++log_changes;
    display(s, m);
  };
  int highest = 0;
  form->B_Send->DoClick();
  ASSERT_TRUE(MainLoop().RunUntil(
      [&] {
        highest = std::max(highest, form->Bar->Position);
        return !form->Sending();
      },
      20000));
  EXPECT_EQ(form->Mail_Error->Text, form->MsgMailSent);
  // Besides the client's lines: the connection, three request ends and two steps.
  const int changes = log_changes + 6;
  const auto& log = form->DisplayMemo->Lines;
  EXPECT_EQ(log.Count(), (changes - 1) % 101 + 1) << changes;
  EXPECT_EQ(log[log.Count() - 1], "RequestDone Rq=6 Error=0");
  EXPECT_EQ(form->Bar->Position, changes / 50 % 100) << changes;
  EXPECT_LE(highest, 99);
}

}  // namespace
}  // namespace tav
