// The mail window sending through its own SMTP client to a scripted server
// on 127.0.0.1: for a failure at each step of the dialogue, the result line
// the rider reads in German, English and Spanish (byte for byte, with its
// colour), the lines the server received and the request ends in the log.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/core_data.h"
#include "core/core_test_util.h"
#include "mail/mail_form.h"
#include "mail/smtp_test_support.h"
#include "texts/text_tables.h"

namespace tav {
namespace {

using Lines = std::vector<std::string>;

using smtptest::kAuth, smtptest::kData, smtptest::kEhlo, smtptest::kEnd, smtptest::kFrom, smtptest::kHelo,
    smtptest::kPass, smtptest::kQuit, smtptest::kTo1, smtptest::kTo2, smtptest::kUser;
const Lines kAll = {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kEnd, kQuit};
using FormDialogueServer = smtptest::DialogueScript;

class MailFormDialogue : public testing_core::CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    form = std::make_unique<TForm80>();
    Form80 = form.get();
  }
  void TearDown() override {
    Form80 = nullptr;
    LanguageIndex = 1;
    form.reset();
    CoreFixture::TearDown();
  }

  struct Outcome {
    std::string shown;
    TColor color = clNone;
    bool visible = false;
    Lines received;
    Lines body;
    Lines marks;  // the log's request ends and steps
  };

  // Sends in the language of the index with the window's texts applied.
  Outcome SendIn(int language, FormDialogueServer server) {
    LanguageIndex = static_cast<uint8_t>(language);
    ApplyTextTable(language);
    smtptest::ScriptedPeer peer(server.Chunks(server.banner), [&](const std::string& line) { return server.Answer(line); });
    form->Tag = 20;
    form->Show();
    form->HostEdit->Text = "127.0.0.1";
    form->PortEdit->Text = peer.PortStr();
    form->SignOnEdit->Text = "Name";
    form->KW_Edit->Text = "tim";
    form->PW_Edit->Text = "geheim";
    form->FromEdit->Text = "rider@x.org";
    form->Sel_MailTo->Text = "coach@x.org; club@x.org";
    form->MsgMemo->Lines = TStringList{"Hallo", ".", "Gruss"};
    Outcome out;
    form->B_Send->DoClick();
    EXPECT_TRUE(MainLoop().RunUntil([&] { return !form->Sending(); }, 8000));
    MainLoop().RunUntil([] { return false; }, 20);
    out.shown = form->Mail_Error->Text;
    out.color = form->Mail_Error->Color;
    out.visible = form->Mail_Error->Visible;
    out.received = server.received;
    out.body = server.body;
    for (const std::string& l : form->DisplayMemo->Lines)
      if (l.rfind("RequestDone", 0) == 0 || l.rfind("CLICK", 0) == 0 || l.rfind("------", 0) == 0)
        out.marks.push_back(l);
    form->Close();
    MainLoop().RunUntil([] { return false; }, 20);
    return out;
  }

  std::unique_ptr<TForm80> form;
};

struct Row {
  const char* what;
  std::map<std::string, std::string> replies;  // "BANNER": the greeting
  const char* shown[3];                        // German, English, Spanish
  Lines received;
  Lines marks;
};

const Lines kSentMarks = {"------ CONECTED ------", "RequestDone Rq=8 Error=0", "CLICK SEND_MAIL",
                          "RequestDone Rq=9 Error=0", "CLICK_QUIT", "RequestDone Rq=6 Error=0"};

// The marks of a send whose opening failed with the code.
Lines OpenFailed(int code, bool greeted = true) {
  Lines m;
  if (greeted) m.push_back("------ CONECTED ------");
  m.push_back("RequestDone Rq=8 Error=" + std::to_string(code));
  m.push_back("RequestDone Rq=6 Error=0");
  return m;
}
Lines MailFailed(int code) {
  return {"------ CONECTED ------", "RequestDone Rq=8 Error=0", "CLICK SEND_MAIL",
          "RequestDone Rq=9 Error=" + std::to_string(code), "RequestDone Rq=6 Error=0"};
}

const char* const kSent[3] = {"Ihre Mail wurde erfolgreich abgeschickt", "Mail was sending ",
                              "El email fue enviado correctamente"};
const char* const kBadAccount[3] = {"Falsches Konto oder Passwort", "Wrong account or password",
                                    "Contrase\xF1" "a o cuenta equivocada"};

std::vector<Row> Rows() {
  return {
      {"all well", {}, {kSent[0], kSent[1], kSent[2]}, kAll, kSentMarks},
      {"EHLO unknown: HELO without login",
       {{kEhlo, "502 5.5.1 not implemented\r\n"}},
       {kSent[0], kSent[1], kSent[2]},
       {kEhlo, kHelo, kFrom, kTo1, kTo2, kData, kEnd, kQuit},
       kSentMarks},
      {"greeting refused",
       {{"BANNER", "554 5.3.2 no service\r\n"}},
       {"Verbindung oder Anmeldung abgelehnt (554)", "Connection or login refused (554)",
        "Conexi\xF3n o inicio de sesi\xF3n rechazados (554)"},
       {},
       {"RequestDone Rq=8 Error=554", "RequestDone Rq=6 Error=0"}},
      {"closed at EHLO",
       {{kEhlo, "CLOSE"}},
       {"Keine Verbindung zum Mailserver (10004)", "No connection to the mail server (10004)",
        "Sin conexi\xF3n con el servidor (10004)"},
       {kEhlo},
       OpenFailed(10004)},
      {"AUTH LOGIN refused",
       {{kAuth, "504 5.5.4 not supported\r\n"}},
       {"Verbindung oder Anmeldung abgelehnt (504)", "Connection or login refused (504)",
        "Conexi\xF3n o inicio de sesi\xF3n rechazados (504)"},
       {kEhlo, kAuth, kQuit},
       OpenFailed(504)},
      {"account refused",
       {{kUser, "535 5.7.8 bad user\r\n"}},
       {kBadAccount[0], kBadAccount[1], kBadAccount[2]},
       {kEhlo, kAuth, kUser, kQuit},
       OpenFailed(535)},
      {"password refused",
       {{kPass, "535 5.7.8 Authentication credentials invalid\r\n"}},
       {kBadAccount[0], kBadAccount[1], kBadAccount[2]},
       {kEhlo, kAuth, kUser, kPass, kQuit},
       OpenFailed(535)},
      {"login failing for now",
       {{kPass, "454 4.7.0 Temporary authentication failure\r\n"}},
       {"Verbindung oder Anmeldung abgelehnt (454)", "Connection or login refused (454)",
        "Conexi\xF3n o inicio de sesi\xF3n rechazados (454)"},
       {kEhlo, kAuth, kUser, kPass, kQuit},
       OpenFailed(454)},
      {"sender refused",
       {{kFrom, "553 5.1.8 sender refused\r\n"}},
       {"Mail vom Server abgelehnt (553)", "Mail refused by the server (553)",
        "Email rechazado por el servidor (553)"},
       {kEhlo, kAuth, kUser, kPass, kFrom, kQuit},
       MailFailed(553)},
      {"one recipient refused", {{kTo1, "550 5.1.1 unknown user\r\n"}}, {kSent[0], kSent[1], kSent[2]}, kAll,
       kSentMarks},
      {"both recipients refused",
       {{kTo1, "550 5.1.1 unknown user\r\n"}, {kTo2, "550 5.1.1 unknown user\r\n"}},
       {"Mail vom Server abgelehnt (550)", "Mail refused by the server (550)",
        "Email rechazado por el servidor (550)"},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kQuit},
       MailFailed(550)},
      {"DATA refused",
       {{kData, "451 4.3.0 try later\r\n"}},
       {"Mail vom Server abgelehnt (451)", "Mail refused by the server (451)",
        "Email rechazado por el servidor (451)"},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kQuit},
       MailFailed(451)},
      {"message too big",
       {{kEnd, "552 5.3.4 message too big\r\n"}},
       {"Mail vom Server abgelehnt (552)", "Mail refused by the server (552)",
        "Email rechazado por el servidor (552)"},
       kAll,
       MailFailed(552)},
      {"closed at the message's end",
       {{kEnd, "CLOSE"}},
       {"Verbindung zum Mailserver abgebrochen (10004)", "Connection to the mail server lost (10004)",
        "Conexi\xF3n con el servidor cortada (10004)"},
       {kEhlo, kAuth, kUser, kPass, kFrom, kTo1, kTo2, kData, kEnd},
       {"------ CONECTED ------", "RequestDone Rq=8 Error=0", "CLICK SEND_MAIL", "RequestDone Rq=9 Error=10004",
        "RequestDone Rq=6 Error=0"}},
      {"QUIT refused after the mail went", {{kQuit, "500 5.5.2 what\r\n"}}, {kSent[0], kSent[1], kSent[2]}, kAll,
       kSentMarks},
  };
}

TEST_F(MailFormDialogue, TheResultLineOfEveryStepInEachLanguage) {
  {
    for (const Row& row : Rows()) {
      for (int language : {0, 1, 2}) {
        SCOPED_TRACE(std::string(row.what) + ", language " + std::to_string(language));
        FormDialogueServer server;
        for (const auto& [key, reply] : row.replies) (key == "BANNER" ? server.banner : server.replies[key]) = reply;
        const Outcome out = SendIn(language, server);
        EXPECT_EQ(out.shown, row.shown[language]);
        EXPECT_TRUE(out.visible);
        const bool sent = row.marks == kSentMarks;
        EXPECT_EQ(out.color, sent ? clLime : clYellow);
        EXPECT_EQ(out.received, row.received);
        EXPECT_EQ(out.marks, row.marks);
        // The text goes line by line, a lone dot doubled.
        if (sent) {
          ASSERT_GE(out.body.size(), 3u);
          EXPECT_EQ(Lines(out.body.end() - 3, out.body.end()), (Lines{"Hallo", "..", "Gruss"}));
        }
      }
    }
  }
}

// Every reply cut in pieces: the whole send still goes, and a refusal is
// still read as the refusal it is.
TEST_F(MailFormDialogue, RepliesInPiecesAreReadAsWholeReplies) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.what);
    FormDialogueServer server;
    server.cut = smtptest::Cut::kPieces;
    for (const auto& [key, reply] : row.replies) (key == "BANNER" ? server.banner : server.replies[key]) = reply;
    const Outcome out = SendIn(1, server);
    EXPECT_EQ(out.shown, row.shown[1]);
    EXPECT_EQ(out.received, row.received);
    EXPECT_EQ(out.marks, row.marks);
  }
}

// A server that says nothing, at the greeting or after a command, is given
// up after the limit with the text of each language; the connection is
// dropped without QUIT.
TEST_F(MailFormDialogue, ASilentServerIsGivenUpInEachLanguage) {
  const char* const said[3] = {"Mailserver antwortet nicht: Senden abgebrochen",
                               "Mail server does not answer: sending stopped",
                               "El servidor no responde: env\xEDo cancelado"};
  form->InactivityLimitMs = 150;
  for (const char* silent : {"BANNER", "AUTH LOGIN", "MAIL FROM:<rider@x.org>"}) {
    for (int language : {0, 1, 2}) {
      SCOPED_TRACE(std::string(silent) + " " + std::to_string(language));
      FormDialogueServer server;
      (std::string(silent) == "BANNER" ? server.banner : server.replies[silent]) = "";
      const Outcome out = SendIn(language, server);
      EXPECT_EQ(out.shown, said[language]);
      EXPECT_EQ(out.color, clYellow);
      EXPECT_TRUE(out.received.empty() || out.received.back() == silent);
    }
  }
}

}  // namespace
}  // namespace tav
