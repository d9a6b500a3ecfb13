// The mail window: its settings file, the steps of a send against a scripted
// client, and a trip mailed to a real server.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "core/core_test_util.h"
#include "core/trip_file.h"
#include "mail/mail_form.h"
#include "mail/md5.h"
#include "mail/smtp_test_support.h"
#include "platform/text.h"

namespace tav {
namespace {

namespace fs = std::filesystem;
using namespace literals;

// Ends each request from the loop with the error the test chose, or never
// (a silent server); records what the form asked for.
class ScriptedClient : public TSmtpCli {
 public:
  std::map<TSmtpRequest, int> result;
  bool silent = false;
  std::vector<std::string> calls;
  std::function<void()> opened;  // runs while the connection opens
  void Open() override {
    if (opened) opened();
    End(smtpOpen, AuthType == smtpAuthLogin ? "Open login " + Username : "Open");
  }
  void Mail() override {
    std::string to;
    for (const auto& r : RcptName) to += " <" + r + ">";
    for (const auto& f : EmailFiles()) to += " " + fs::path(f).filename().string();
    End(smtpMail, "Mail" + to);
  }
  void Quit() override { End(smtpQuit, "Quit"); }
  void Abort() override { calls.push_back("Abort"); }

 private:
  void End(TSmtpRequest r, std::string call) {
    // The server's words may hold "Error=": they must end no step.
    TriggerDisplay("< 250 " + call + " Error=0 Error=535");
    calls.push_back(std::move(call));
    if (!silent) socket_->Loop().Post(target_, Message{kWmSmtpRequestDone, static_cast<uintptr_t>(r), result[r]});
  }
};

class MailForm : public testing_core::CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    form = std::make_unique<TForm80>();
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
  // Sends and waits until the send has ended.
  void Send() {
    form->B_Send->DoClick();
    ASSERT_TRUE(MainLoop().RunUntil([&] { return !form->Sending(); }, 15000));
  }
  fs::path SettingsFile() const { return FsPath(MailSetPath); }

  std::unique_ptr<TForm80> form;
};

// Line order, Windows-1252, CR LF, the address book sorted; a short file
// keeps the defaults for what it lacks, is named in a message and kept as
// .BAD; the file is the owner's alone (it holds the password).
TEST_F(MailForm, SettingsGoThroughTheFormByteForByte) {
  MailSettingsLines sample = {"smtp.example.org", "587", "J\xFCrgens PC", "tim", "geheim \x80", "Meine \x84" "Fahrt\x93",
                              "r@x.org", "r@x.org", "c@x.org; b@x.org"};
  MailSettingsLines defaults = {"smtp.?????", "25", "Name", "??????", "", "Meine neuste Fahrt", "E-MAIL ADRESSE Sender",
                                "E-MAIL ADRESSE Sender", "E-MAIL ADRESSE Empf\xE4nger"};
  for (int i = 0; i < 10; ++i) {
    sample[kMailBook + static_cast<std::size_t>(i)] = std::string(1, static_cast<char>('a' + i)) + "@x.org";
    defaults[kMailBook + static_cast<std::size_t>(i)] = Format("z_Mail_Adr_%02i", i + 1);
  }
  MailSettingsLines unsorted = sample, short_file = defaults;
  std::swap(unsorted[kMailBook], unsorted[kMailBook + 9]);
  short_file[kMailHost] = "mail.x.org";
  const std::string full = EncodeMailSettings(sample);
  const std::pair<std::string, std::string> rows[] = {{full, full},
                                                      {EncodeMailSettings(unsorted), full},
                                                      {"mail.x.org\r\n", EncodeMailSettings(short_file)},
                                                      {"", EncodeMailSettings(defaults)}};
  for (const auto& [file, written] : rows) {
    fs::remove_all(FsPath(SettingsDir));
    if (!file.empty()) testing_core::WriteBytes(SettingsFile(), file);
    const bool damaged = file == "mail.x.org\r\n";
    Application().ShownMessages.clear();
    Open(10);
    ASSERT_EQ(Application().ShownMessages.size(), damaged ? 1u : 0u);
    if (damaged) {
      EXPECT_NE(Application().ShownMessages[0].find(MailSetPath), std::string::npos);
    }
    form->SET_Mail_OK->DoClick();
    EXPECT_FALSE(form->Visible);
    EXPECT_EQ(testing_core::FileBytes(SettingsFile()), written);
    EXPECT_EQ(fs::status(SettingsFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::exists(SettingsFile().string() + ".BAD"), damaged);
  }

  // Send mode shows them; Cancel writes nothing.
  testing_core::WriteBytes(SettingsFile(), full);
  Open(20);
  EXPECT_EQ(form->Sel_MailTo->Items.Lines(), form->CB_Adr->Items.Lines());
  EXPECT_EQ(form->SubjectEd_1->Text, sample[kMailSubject]);
  EXPECT_EQ(form->SmtpClient->Password, "geheim \x80");
  form->Close();
  Open(10);
  form->HostEdit->Text = "changed";
  form->SET_Mail_No->DoClick();
  EXPECT_EQ(testing_core::FileBytes(SettingsFile()), full);

  // The port field takes the service code as a port like any other text:
  // no account is filled in.
  Open(10);
  form->PortEdit->DoSetText("k72p");
  form->SET_Mail_OK->DoClick();
  MailSettingsLines service = sample;
  service[kMailPort] = "k72p";
  EXPECT_EQ(testing_core::FileBytes(SettingsFile()), EncodeMailSettings(service));
}

// A file that is cut, too long or holds two different sender lines is
// damaged: the message says what is wrong, and storing the settings keeps
// the file as read as an owner-only .BAD copy first.
TEST_F(MailForm, DamagedSettingsSayWhatIsWrongAndAreKept) {
  MailSettingsLines sample = {"smtp.example.org", "587", "pc", "tim", "geheim", "Fahrt", "r@x.org", "r@x.org", "c@x.org"};
  for (int i = 0; i < 10; ++i) sample[kMailBook + static_cast<std::size_t>(i)] = Format("a%i@x.org", i);
  const std::string full = EncodeMailSettings(sample);
  MailSettingsLines senders = sample;
  senders[kMailSender2] = "s@x.org";
  struct Row {
    std::string file;
    std::string said, notSaid;
  };
  const Row rows[] = {
      {full.substr(0, full.size() - 2), "its last line has no line break", "lines instead of"},
      {EncodeMailSettings(senders), "its two sender lines differ (\"r@x.org\" and \"s@x.org\")", "lines instead of"},
      {full + "x\r\ny\r\n", "holds 21 lines instead of 19, the lines after line 19 are not taken", "missing settings"},
      {"mail.x.org\r\n", "holds 1 lines instead of 19, the missing settings show defaults", "line break"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.said);
    fs::remove_all(FsPath(SettingsDir));
    testing_core::WriteBytes(SettingsFile(), row.file);
    fs::permissions(SettingsFile(), fs::perms::owner_read | fs::perms::owner_write);
    Application().ShownMessages.clear();
    Open(10);
    ASSERT_EQ(Application().ShownMessages.size(), 1u);
    const std::string& shown = Application().ShownMessages[0];
    EXPECT_NE(shown.find(MailSetPath), std::string::npos) << shown;
    EXPECT_NE(shown.find(row.said), std::string::npos) << shown;
    EXPECT_EQ(shown.find(row.notSaid), std::string::npos) << shown;
    form->SET_Mail_OK->DoClick();
    EXPECT_FALSE(form->Visible);
    EXPECT_EQ(testing_core::FileBytes(SettingsFile().string() + ".BAD"), row.file);
    EXPECT_EQ(fs::status(SettingsFile().string() + ".BAD").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(SettingsFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
}

// What is wrong with a damaged settings file is said in the chosen language.
TEST_F(MailForm, DamagedSettingsMessagesSpeakTheChosenLanguage) {
  MailSettingsLines lines;
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = Format("l%zu", i);
  lines[kMailSender] = "r@x.org";
  lines[kMailSender2] = "s@x.org";
  const std::string file = EncodeMailSettings(lines) + "x";  // 20 lines, the last one cut
  struct Row {
    int language;
    std::string more, cut, senders, kept;
  };
  const Row rows[] = {
      {0, "hat 20 Zeilen statt 19, die Zeilen nach der 19. werden nicht \xFC" "bernommen",
       "ihrer letzten Zeile fehlt der Zeilenumbruch", "ihre beiden Absenderzeilen unterscheiden sich (\"r@x.org\" und \"s@x.org\")",
       "als .BAD-Kopie erhalten"},
      {1, "holds 20 lines instead of 19, the lines after line 19 are not taken", "its last line has no line break",
       "its two sender lines differ (\"r@x.org\" and \"s@x.org\")", "kept beside them as a .BAD copy"},
      {2, "tiene 20 l\xEDneas en lugar de 19, las l\xEDneas despu\xE9s de la 19.\xAA no se toman",
       "a su \xFAltima l\xEDnea le falta el salto de l\xEDnea", "sus dos l\xEDneas de remitente difieren (\"r@x.org\" y \"s@x.org\")",
       "se conserva al lado como copia .BAD"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.language);
    LanguageIndex = static_cast<uint8_t>(row.language);
    fs::remove_all(FsPath(SettingsDir));
    testing_core::WriteBytes(SettingsFile(), file);
    Application().ShownMessages.clear();
    Open(10);
    ASSERT_EQ(Application().ShownMessages.size(), 1u);
    const std::string& shown = Application().ShownMessages[0];
    for (const std::string* part : std::initializer_list<const std::string*>{&row.more, &row.cut, &row.senders, &row.kept, &MailSetPath})
      EXPECT_NE(shown.find(*part), std::string::npos) << *part << "\n" << shown;
    form->Close();
  }
  LanguageIndex = 1;
}

// The files are read when the window opens, not each time it becomes active
// again (as after a message box); the text is stored at each send and comes
// back at the next opening.
TEST_F(MailForm, FilesAreReadOncePerOpeningAndTheTextIsKept) {
  MailSettingsLines lines;
  lines[kMailHost] = "smtp.x.org";
  testing_core::WriteBytes(SettingsFile(), EncodeMailSettings(lines));
  testing_core::WriteBytes(FsPath(MailMemoPath), "Servus \x80\r\n\r\nbis bald\r\n");
  ScriptedClient& c = Scripted();
  Open(20);
  EXPECT_EQ(form->MsgMemo->Lines.Lines(), (std::vector<std::string>{"Servus \x80", "", "bis bald"}));
  form->HostEdit->Text = "typed.x.org";
  form->MsgMemo->Lines = TStringList{"neu \x84", "Zeile"};
  TForm other;
  other.FinishCreate();
  other.Show();
  Application().ActivateForm(form.get());
  EXPECT_EQ(form->HostEdit->Text, "typed.x.org");
  EXPECT_EQ(form->MsgMemo->Lines.Lines(), (std::vector<std::string>{"neu \x84", "Zeile"}));
  Send();
  EXPECT_EQ(form->Mail_Error->Text, form->MsgMailSent);
  EXPECT_EQ(c.Host, "typed.x.org");
  EXPECT_EQ(testing_core::FileBytes(FsPath(SettingsDir) / "MAIL_MSG_MEMO.GRD"), "neu \x84\r\nZeile\r\n");
  form->Close();
  Open(20);
  EXPECT_EQ(form->HostEdit->Text, "smtp.x.org");
  EXPECT_EQ(form->MsgMemo->Lines.Lines(), (std::vector<std::string>{"neu \x84", "Zeile"}));
  // A text that cannot be stored is reported; the mail goes all the same.
  fs::remove(FsPath(MailMemoPath));
  fs::create_directories(FsPath(MailMemoPath));
  Application().ShownMessages.clear();
  Send();
  ASSERT_EQ(Application().ShownMessages.size(), 1u);
  EXPECT_NE(Application().ShownMessages[0].find("Cannot save the mail text to " + MailMemoPath), std::string::npos);
  EXPECT_EQ(form->Mail_Error->Text, form->MsgMailSent);
}

// An entry is changed where it stands (Enter or leaving the box) and the
// book stays sorted.
TEST_F(MailForm, AddressBookEntriesAreEditedInPlace) {
  Open(10);
  for (auto [pick, text] : {std::pair{2, "coach@x.org"}, {9, "a@x.org"}}) {
    form->CB_Adr->DoEnter();
    form->CB_Adr->DoSelect(pick);
    form->CB_Adr->DoSetText(text);
    char enter = '\r';
    if (pick == 2) form->CB_Adr->DoKeyPress(enter);
    else form->HostEdit->DoEnter();
  }
  EXPECT_EQ(form->CB_Adr->Items.Lines()[0] + " " + form->CB_Adr->Items.Lines()[1], "a@x.org coach@x.org");
  EXPECT_EQ(form->CB_Adr->Items.IndexOf("z_Mail_Adr_03"), -1);
  EXPECT_EQ(form->CB_Adr->Items.Count(), 10);
}

// Without a settings file, an address entered and then discarded is not
// offered at the next opening; nothing was stored.
TEST_F(MailForm, AnAddressDiscardedIsGoneAtTheNextOpening) {
  for (int round = 0; round < 2; ++round) {
    Open(10);
    EXPECT_EQ(form->CB_Adr->Items.IndexOf("coach@x.org"), -1) << round;
    EXPECT_EQ(form->CB_Adr->Items.Lines()[0], "z_Mail_Adr_01") << round;
    form->CB_Adr->DoEnter();
    form->CB_Adr->DoSelect(0);
    form->CB_Adr->DoSetText("coach@x.org");
    form->HostEdit->DoEnter();  // leaving the box takes the entry into the book
    ASSERT_GE(form->CB_Adr->Items.IndexOf("coach@x.org"), 0);
    form->SET_Mail_No->DoClick();
    EXPECT_FALSE(fs::exists(SettingsFile()));
  }
}

// Each step follows the end of the request before it; a failure tells what
// went wrong in the chosen language with the code and still says goodbye to
// the server; empty recipients are skipped.
TEST_F(MailForm, SendStepsFollowTheRequestEnds) {
  const std::vector<std::string> failed = {"Open login tim", "Quit"}, sent = {"Open login tim", "Mail <a@x> <b@x>", "Quit"};
  struct Row {
    int open_error, mail_error;
    std::string shown;  // "" MsgMailSent
    int language = 1;
  };
  for (const Row& row : {Row{0, 0, ""}, Row{535, 0, "Wrong account or password"},
                         Row{11001, 0, "You have to be online to send mails"}, Row{11004, 0, "Wrong smpt host "},
                         Row{500, 0, "Connection or login refused (500)"},
                         Row{0, 550, "Mail refused by the server (550)"},
                         Row{10004, 0, "No connection to the mail server (10004)"},
                         Row{538, 0, "Verbindung oder Anmeldung abgelehnt (538)", 0},
                         Row{0, 452, "Mail vom Server abgelehnt (452)", 0},
                         Row{0, 10054, "Conexi\xF3n con el servidor cortada (10054)", 2},
                         Row{11002, 0, "Sin conexi\xF3n con el servidor (11002)", 2}}) {
    LanguageIndex = static_cast<uint8_t>(row.language);
    ScriptedClient& c = Scripted();
    c.result = {{smtpOpen, row.open_error}, {smtpMail, row.mail_error}};
    Open(20);
    form->KW_Edit->Text = "tim";
    form->Sel_MailTo->Text = " a@x; ;b@x;";
    Send();
    EXPECT_EQ(c.calls, row.open_error ? failed : sent) << row.open_error;
    EXPECT_EQ(form->Mail_Error->Text, row.shown.empty() ? form->MsgMailSent : row.shown);
    EXPECT_EQ(form->Mail_Error->Color, row.shown.empty() ? clLime : clYellow);
    EXPECT_TRUE(form->Mail_Error->Visible && !form->Bar->Visible && form->SendStep == 99);
    const auto& log = form->DisplayMemo->Lines;
    EXPECT_EQ(log.IndexOf("CLICK_QUIT") >= 0, row.shown.empty());
    EXPECT_EQ(log.IndexOf("RequestDone Rq=6 Error=0"), log.Count() - 1);
    form->Close();
  }
  LanguageIndex = 1;
  // Without an account name the server is greeted without a login.
  ScriptedClient& c = Scripted();
  Open(20);
  form->KW_Edit->Text = " ";
  Send();
  EXPECT_EQ(c.calls.at(0), "Open");
  form->Close();

  // A trip in a folder named with an umlaut goes. One gone before the send is
  // named in the chosen language and nothing is sent; one gone while the
  // connection opens is named and the server is left with QUIT.
  const std::string trip = JoinPath(JoinPath(RiderDir, "J\xFCrgen"), "T.DEO");
  testing_core::WriteBytes(FsPath(trip), "abc");
  form->Display_Files->Lines = TStringList{trip};
  struct Gone {
    bool before, during;
    int language;
    std::vector<std::string> calls;
    std::string shown;
  };
  for (const Gone& row : {Gone{false, false, 1, {"Open", "Mail <z_Mail_Adr_01> T.DEO", "Quit"}, form->MsgMailSent},
                          Gone{true, false, 0, {}, "Anhang fehlt: T.DEO"},
                          Gone{true, false, 2, {}, "Falta el adjunto: T.DEO"},
                          Gone{false, true, 1, {"Open", "Quit"}, "Attachment missing: T.DEO"}}) {
    LanguageIndex = static_cast<uint8_t>(row.language);
    if (!row.before) testing_core::WriteBytes(FsPath(trip), "abc");
    ScriptedClient& g = Scripted();
    if (row.during) g.opened = [&] { fs::remove(FsPath(trip)); };
    Open(20);
    form->KW_Edit->Text.clear();
    if (row.before) fs::remove(FsPath(trip));
    Send();
    EXPECT_EQ(g.calls, row.calls);
    EXPECT_EQ(form->Mail_Error->Text, row.shown);
    form->Close();
  }
  LanguageIndex = 1;
}

TEST_F(MailForm, OneSendAtATimeAndExitOrASilentServerEndsIt) {
  ScriptedClient& c = Scripted();
  c.silent = true;
  Open(20);
  form->B_Send->DoClick();
  form->B_Send->DoClick();
  EXPECT_EQ(c.calls, (std::vector<std::string>{"Open login ??????"}));
  form->B_Break->DoClick();
  EXPECT_FALSE(form->Visible || form->Sending());
  EXPECT_EQ(c.calls.back(), "Abort");
  // A server that stops answering is given up after the inactivity limit.
  form->InactivityLimitMs = 40;
  Open(20);
  form->B_Send->DoClick();
  ASSERT_TRUE(MainLoop().RunUntil([&] { return !form->Sending(); }, 5000));
  EXPECT_EQ(c.calls.back(), "Abort");
  EXPECT_EQ(form->Mail_Error->Text, form->MsgNoAnswer());
  // The next send goes through, once.
  c.silent = false;
  c.calls.clear();
  Send();
  MainLoop().RunUntil([] { return false; }, 60);
  EXPECT_EQ(c.calls.size(), 3u);
  EXPECT_EQ(form->Mail_Error->Text, form->MsgMailSent);
}

// The window's own warnings follow the chosen language: a settings file that
// cannot be read, is short, cannot be kept or written, and a silent server.
TEST_F(MailForm, WarningsSpeakTheChosenLanguage) {
  struct Row {
    int language;
    std::string unreadable, short_file, not_kept, not_written, no_answer;
  };
  const Row rows[] = {
      {0, "l\xE4sst sich nicht lesen", "hat 2 Zeilen statt 19", "nicht lesen oder als .BAD-Kopie sichern",
       "l\xE4sst sich nicht schreiben", "Mailserver antwortet nicht: Senden abgebrochen"},
      {1, "Cannot read the mail settings file", "holds 2 lines instead of 19", "could not be read or kept",
       "Cannot write the mail settings file", "Mail server does not answer: sending stopped"},
      {2, "No se puede leer el archivo", "tiene 2 l\xEDneas en lugar de 19", "no se pudo leer ni conservar",
       "No se puede escribir el archivo", "El servidor no responde: env\xEDo cancelado"}};
  auto shown = [](std::size_t i) {
    const auto& m = Application().ShownMessages;
    return m.size() > i ? m[i] : std::string("(none)");
  };
  for (const Row& row : rows) {
    LanguageIndex = static_cast<uint8_t>(row.language);
    // A folder where the file should be: neither read nor kept.
    fs::remove_all(FsPath(SettingsDir));
    fs::create_directories(SettingsFile());
    Application().ShownMessages.clear();
    Open(10);
    form->SET_Mail_OK->DoClick();
    form->Close();
    // Two lines of nineteen.
    fs::remove_all(FsPath(SettingsDir));
    testing_core::WriteBytes(SettingsFile(), "a\r\nb\r\n");
    Open(10);
    form->Close();
    // A file where the settings folder should be.
    fs::remove_all(FsPath(SettingsDir));
    testing_core::WriteBytes(FsPath(SettingsDir), "x");
    Open(10);
    form->SET_Mail_OK->DoClick();
    form->Close();
    ASSERT_EQ(Application().ShownMessages.size(), 4u) << shown(0);
    for (auto [i, part] : {std::pair{0, &row.unreadable}, {1, &row.not_kept}, {2, &row.short_file}, {3, &row.not_written}}) {
      EXPECT_NE(shown(i).find(*part), std::string::npos) << shown(i);
      EXPECT_NE(shown(i).find(MailSetPath), std::string::npos) << shown(i);
    }
    ScriptedClient& c = Scripted();
    c.silent = true;
    form->InactivityLimitMs = 40;
    Open(20);
    form->B_Send->DoClick();
    ASSERT_TRUE(MainLoop().RunUntil([&] { return !form->Sending(); }, 5000));
    EXPECT_EQ(form->Mail_Error->Text, row.no_answer);
    form->Close();
  }
  LanguageIndex = 1;
}

// Two trips (one named with an umlaut and the euro sign), a subject with the
// euro sign and a line longer than SMTP allows, sent through the form to a
// real server and read back by Python's email package: the text goes line by
// line, whole; the file names arrive as they were; the mail carries no test
// comment and names tavlog and its version as its mailer.
TEST_F(MailForm, SendsATripToARealServer) {
  smtptest::PythonSmtpPeer peer("{}");
  ASSERT_TRUE(peer.Ok()) << peer.StdErr();
  testing_core::LoadIntoCurrent(testing_core::DemoRide(7, 1800));
  const fs::path trip = FsPath(RiderDir) / "20240403_1306510_TAV.DEO";
  ASSERT_TRUE(WriteDeoFile(trip));
  form->Display_Files->Lines.Add(PathText(trip));
  const std::string named = JoinPath(RiderDir, "Fahrt_M\xFCller_\x80.DEO");
  testing_core::WriteBytes(FsPath(named), "named trip");
  form->Display_Files->Lines.Add(named);
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
  EXPECT_NE(std::find(headers.begin(), headers.end(), "Message-ID"), headers.end());
  EXPECT_FALSE(m.Has("comments")) << m.One("comments");
  EXPECT_EQ(m.One("x-mailer"), smtptest::ProjectMailer());
  const auto attachments = m.All("attachment");
  ASSERT_EQ(attachments.size(), 2u);
  const auto attachment = smtptest::Split(attachments[0], "\t");
  ASSERT_GE(attachment.size(), 6u);
  EXPECT_EQ(smtptest::Unhex(attachment[0]), trip.filename().string());
  EXPECT_EQ(attachment[4], FileMD5(trip));
  const auto second = smtptest::Split(attachments[1], "\t");
  ASSERT_GE(second.size(), 6u);
  EXPECT_EQ(smtptest::Unhex(second[0]), "Fahrt_M\xFCller_\x80.DEO");
  EXPECT_EQ(second[4], StrMD5("named trip"));
  const auto text = smtptest::Split(m.One("text"), "\t");
  ASSERT_EQ(text.size(), 4u);
  EXPECT_EQ(smtptest::Unhex(text[3]), "Hallo\r\n\r\n" + long_line + "\r\n");
  // The password went over the wire, never into the log.
  EXPECT_NE(shown.find("> AUTH LOGIN"), std::string::npos);
  for (const std::string& secret : {std::string("tanstaaftanstaaf"), Base64Encode("tanstaaftanstaaf")})
    EXPECT_EQ(shown.find(secret), std::string::npos);
}

// A refused connection names the server and the port in the chosen
// language, with the socket's error in brackets.
TEST_F(MailForm, ARefusedConnectionNamesHostAndPort) {
  test::RefusingPort closed;
  const std::string port = std::to_string(closed.port());
  const std::pair<int, std::string> rows[] = {
      {0, "Verbindung abgelehnt von 127.0.0.1, Port " + port + " (Socket-Fehler 10061)"},
      {1, "Connection refused by 127.0.0.1, port " + port + " (socket error 10061)"},
      {2, "Conexi\xF3n rechazada por 127.0.0.1, puerto " + port + " (error de socket 10061)"}};
  for (const auto& [language, shown] : rows) {
    LanguageIndex = static_cast<uint8_t>(language);
    Open(20);
    form->HostEdit->Text = "127.0.0.1";
    form->PortEdit->Text = port;
    Send();
    EXPECT_EQ(form->Mail_Error->Text, shown);
    EXPECT_TRUE(form->Mail_Error->Visible);
    form->Close();
  }
  LanguageIndex = 1;
}

// A server for the form's own client, on the test's loop: the banner, the
// reply to HELO and the answer to the end of the message as a test gives
// them, every other command answered at once.
struct FormServer {
  std::vector<smtptest::Chunk> banner = {smtptest::Send("220 ready\r\n")};
  std::vector<smtptest::Chunk> helo = {smtptest::Send("250 OK\r\n")};
  std::vector<smtptest::Chunk> data_end = {smtptest::Send("250 queued\r\n")};
  bool in_data = false;

  std::vector<smtptest::Chunk> operator()(const std::string& line) {
    if (in_data) {
      in_data = line != ".";
      return in_data ? std::vector<smtptest::Chunk>{} : data_end;
    }
    if (line.rfind("HELO", 0) == 0) return helo;
    if (line.rfind("DATA", 0) == 0) {
      in_data = true;
      return {smtptest::Send("354 go ahead\r\n")};
    }
    if (line.rfind("QUIT", 0) == 0) return {smtptest::Send("221 bye\r\n"), smtptest::CloseConn()};
    return {smtptest::Send("250 OK\r\n")};
  }
};

// The lines of a reply that never ends, one every 0.2 s.
std::vector<smtptest::Chunk> Unending(const std::string& code) {
  std::vector<smtptest::Chunk> lines;
  for (int i = 0; i < 50; ++i) lines.push_back(smtptest::Send(code + "-still working\r\n", 200));
  return lines;
}

class MailFormServer : public MailForm {
 protected:
  struct Outcome {
    int ms = 0;             // from Send to the end of the send
    std::string shown;      // the result line
    bool checking = false;  // the checking text was shown on the way
  };
  // Sends through the form's own client to the server.
  Outcome SendTo(FormServer server) {
    smtptest::ScriptedPeer peer(server.banner, [&](const std::string& line) { return server(line); });
    Open(20);
    form->HostEdit->Text = "127.0.0.1";
    form->PortEdit->Text = peer.PortStr();
    form->KW_Edit->Text.clear();
    form->FromEdit->Text = "rider@x.org";
    form->Sel_MailTo->Text = "coach@x.org";
    Outcome out;
    const uint32_t start = TickCount();
    form->B_Send->DoClick();
    EXPECT_TRUE(MainLoop().RunUntil(
        [&] {
          out.checking = out.checking || (form->Mail_Error->Visible && form->Mail_Error->Text == form->MsgChecking());
          return !form->Sending();
        },
        3000));
    out.ms = static_cast<int>(TickCount() - start);
    out.shown = form->Mail_Error->Text;
    form->Close();
    MainLoop().RunUntil([] { return false; }, 20);  // the end of an aborted request comes in
    return out;
  }
};

// The no-answer limit counts until a reply has ended: a server that sends a
// line of an unending reply every 0.2 s, in its greeting or its reply to a
// command, is given up after the limit like a silent one.
TEST_F(MailFormServer, AReplyThatDoesNotEndIsGivenUpAfterTheLimit) {
  form->InactivityLimitMs = 300;
  FormServer greeting, reply;
  greeting.banner = Unending("220");
  reply.helo = Unending("250");
  for (const FormServer& server : {greeting, reply}) {
    const Outcome out = SendTo(server);
    EXPECT_EQ(out.shown, form->MsgNoAnswer());
    EXPECT_GE(out.ms, 300);
  }
}

// The answer to the end of the message may take longer than the limit:
// meanwhile the window says that the server is still checking the message.
// An answer that does not end within the longer limit either is given up
// with the word that the mail may have arrived all the same.
TEST_F(MailFormServer, TheEndOfTheMessageMayTakeTheServerLonger) {
  form->InactivityLimitMs = 150;
  form->DataEndLimitMs = 450;
  form->CheckingNoticeMs = 50;
  FormServer slow, unending;
  slow.data_end = {smtptest::Send("250 queued\r\n", 300)};
  unending.data_end = Unending("250");
  Outcome out = SendTo(slow);
  EXPECT_EQ(out.shown, form->MsgMailSent);
  EXPECT_TRUE(out.checking);
  out = SendTo(unending);
  EXPECT_EQ(out.shown, form->MsgNotConfirmed());
  EXPECT_TRUE(out.checking);
  EXPECT_GE(out.ms, 450);
}

// Esc in the settings closes the window as its cancel does: nothing stored.
TEST_F(MailForm, EscDiscardsTheSettingsAsCancelDoes) {
  for (TControl* focused : std::initializer_list<TControl*>{form->HostEdit, form->CB_Adr, form.get()}) {
    Open(10);
    form->HostEdit->Text = "changed";
    WORD key = VK_ESCAPE;
    focused->DoKeyDown(key, 0);
    EXPECT_EQ(key, 0) << focused->Name;
    EXPECT_FALSE(form->Visible) << focused->Name;
    EXPECT_FALSE(fs::exists(SettingsFile())) << focused->Name;
  }
}

// Each opening has the client size of the first, also when the window
// manager's frame is not the usual one (the window reports it once shown):
// the form grew by the difference from its second showing on.
TEST_F(MailForm, EachOpeningHasTheClientSizeOfTheFirst) {
  // Without the main window: the design width 640, the settings' design
  // height 400 and the send panel's 275, less the usual frame of 16 x 39.
  for (auto [tag, client] : {std::pair{10, std::pair{624, 361}}, {20, std::pair{624, 236}}}) {
    for (int round = 0; round < 3; ++round) {
      Open(tag);
      EXPECT_EQ(std::pair(form->ClientWidth(), form->ClientHeight()), client) << tag << " " << round;
      // What the window reports under a window manager with a frame of 2 x 24.
      const int w = form->ClientWidth(), h = form->ClientHeight();
      form->Width = w + 2;
      form->Height = h + 24;
      form->SetActualClientSize(w, h);
      form->Close();
    }
  }
}

}  // namespace
}  // namespace tav
