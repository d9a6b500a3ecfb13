// TForm80: construction, layout, opening and the settings panel.
#include "mail/mail_form.h"

#include <algorithm>
#include <system_error>
#include <type_traits>

#include "core/user_words.h"
#include "core/bad_copy.h"
#include "core/core_data.h"
#include "openers/openers.h"
#include "platform/strings.h"
#include "platform/text.h"

using namespace tav;
using namespace tav::literals;

TForm80* Form80 = nullptr;

namespace {

constexpr int kMargin = 12, kRowHeight = 24, kRowStep = 32, kLabelWidth = 150;
constexpr int kButtonWidth = 110, kButtonHeight = 28;
// The smallest window that shows each panel whole.
constexpr int kSettingsMinWidth = 480, kSettingsMinHeight = 340;
constexpr int kSendHeight = 275, kSendMinWidth = 560;

std::string AddressDefault(int i) { return Format("z_Mail_Adr_%02i", i + 1); }

}  // namespace

TForm80::TForm80() {
  Name = "Form80";
  Caption = "Mail";
  BorderStyle = TFormBorderStyle::bsDialog;
  Visible = false;
  SetBounds(100, 80, 640, 400);

  // Out of reach under both panels (made first, so the panels lie above).
  ToEdit = Make<TEdit>("ToEdit");
  ToEdit->Hint = "Mail addresses";
  OpenButton = Make<TButton>("OpenButton");
  QuitButton = Make<TButton>("QuitButton");
  QuitButton->OnClick = [this](TControl* s) { QuitButtonClick(s); };
  Button1 = Make<TButton>("Button1");
  Button2 = Make<TButton>("Button2");
  Button2->OnClick = [this](TControl* s) { Button2Click(s); };
  SetMail_GRD = Make<TListBox>("SetMail_GRD");
  Label6 = Make<TLabel>("Label6");
  for (TControl* c : std::initializer_list<TControl*>{ToEdit, OpenButton, QuitButton, Button1, Button2, SetMail_GRD,
                                                      Label6})
    c->Visible = false;

  // Settings panel.
  ToolsPanel = Make<TPanel>("ToolsPanel");
  ToolsPanel->BevelOuter = TBevelCut::bvNone;
  ToolsPanel->Visible = false;
  int tab = 0;
  auto row = [&](TLabel*& label, const char* label_name, const std::string& caption, auto*& field,
                 const char* field_name, const std::string& hint) {
    label = Make<TLabel>(label_name, ToolsPanel);
    label->SetCaption(caption);
    field = Make<std::remove_pointer_t<std::remove_reference_t<decltype(field)>>>(field_name, ToolsPanel);
    field->Hint = hint;
    field->TabOrder = tab++;
    field->OnKeyPress = [this](TControl* s, char& key) { HostEditKeyPress(s, key); };
  };
  row(L_SMTP, "L_SMTP", "SMTP Host", HostEdit, "HostEdit", "Mail server hostname or IP address");
  row(L_Port, "L_Port", "Port", PortEdit, "PortEdit", "Mail server port (should be smtp)");
  row(L_Konto, "L_Konto", "Name of account", KW_Edit, "KW_Edit", "Account name");
  row(L_PWort, "L_PWort", "Password", PW_Edit, "PW_Edit", "PASSWORD");
  PW_Edit->PasswordChar = '*';
  row(L_Absender, "L_Absender", "Sender", FromEdit, "FromEdit", "Sender mail address");
  row(L_Nach_1, "L_Nach_1", "To", CB_Adr, "CB_Adr", "Mail addresses");
  row(L_Betreff_1, "L_Betreff_1", "Subject", SubjectEdit, "SubjectEdit", "Message subject");
  row(L_Sign, "L_Sign", "Signum", SignOnEdit, "SignOnEdit", "Signum message for the HELLO command");
  L_Sign->Visible = SignOnEdit->Visible = false;
  CB_Adr->Sorted = true;
  for (int i = 0; i < 10; ++i) CB_Adr->Items.Add(AddressDefault(i));
  CB_Adr->OnEnter = [this](TControl* s) { CB_AdrEnter(s); };
  CB_Adr->OnClick = [this](TControl* s) { CB_AdrClick(s); };
  CB_Adr->OnKeyPress = [this](TControl* s, char& key) { CB_AdrKeyPress(s, key); };
  CB_Adr->OnExit = [this](TControl* s) { CB_AdrExit(s); };
  SET_Mail_OK = Make<TButton>("SET_Mail_OK", ToolsPanel);
  SET_Mail_OK->Caption = "Accept";
  SET_Mail_OK->TabOrder = tab++;
  SET_Mail_OK->OnClick = [this](TControl* s) { SET_Mail_OKClick(s); };
  SET_Mail_No = Make<TButton>("SET_Mail_No", ToolsPanel);
  SET_Mail_No->Caption = "Cancel";
  SET_Mail_No->Cancel = true;  // Esc discards the settings as the button does
  SET_Mail_No->TabOrder = tab++;
  SET_Mail_No->OnClick = [this](TControl* s) { SET_Mail_NoClick(s); };

  // Send panel.
  P_DO = Make<TPanel>("P_DO");
  P_DO->BevelOuter = TBevelCut::bvNone;
  P_DO->Visible = false;
  L_Nach_2 = Make<TLabel>("L_Nach_2", P_DO);
  L_Nach_2->SetCaption("To");
  Sel_MailTo = Make<TComboBox>("Sel_MailTo", P_DO);
  Sel_MailTo->Sorted = true;
  for (int i = 0; i < 10; ++i) Sel_MailTo->Items.Add(AddressDefault(i));
  Sel_MailTo->TabOrder = tab++;
  L_Betreff_2 = Make<TLabel>("L_Betreff_2", P_DO);
  L_Betreff_2->SetCaption("Subject");
  SubjectEd_1 = Make<TEdit>("SubjectEd_1", P_DO);
  SubjectEd_1->TabOrder = tab++;
  MsgMemo = Make<TMemo>("MsgMemo", P_DO);
  MsgMemo->Lines = TStringList{"Hallo", "", "Hier sind meine neusten Fahrten."};
  MsgMemo->ScrollBars = TScrollStyle::ssVertical;
  MsgMemo->TabOrder = tab++;
  Display_Files = Make<TMemo>("Display_Files", P_DO);
  FileAttachMemo = Make<TMemo>("FileAttachMemo", P_DO);
  for (TMemo* m : {Display_Files, FileAttachMemo}) {
    m->ReadOnly = true;
    m->WordWrap = false;
    m->ScrollBars = TScrollStyle::ssBoth;
    m->TabOrder = tab++;
  }
  DisplayMemo = Make<TMemo>("DisplayMemo", P_DO);
  DisplayMemo->ReadOnly = true;
  DisplayMemo->Visible = false;
  Bar = Make<TProgressBar>("Bar", P_DO);
  Bar->Visible = false;
  Mail_Error = Make<TEdit>("Mail_Error", P_DO);
  Mail_Error->ReadOnly = true;
  Mail_Error->Color = clYellow;
  Mail_Error->Visible = false;
  B_Send = Make<TButton>("B_Send", P_DO);
  B_Send->Caption = "Send Mail";
  B_Send->TabOrder = tab++;
  B_Send->OnClick = [this](TControl* s) { B_SendClick(s); };
  B_Break = Make<TButton>("B_Break", P_DO);
  B_Break->Caption = "Exit";
  B_Break->TabOrder = tab++;
  B_Break->OnClick = [this](TControl* s) { B_BreakClick(s); };

  StallTimer = MakeTimer("StallTimer");
  StallTimer->OnTimer = [this](TTimer*) { StallCheck(); };

  OnShow = [this](TControl* s) { FormShow(s); };
  OnActivate = [this](TControl* s) { FormActivate(s); };
  OnClose = [this](TControl* s, TCloseAction& a) { FormClose(s, a); };
  OnResize = [this](TControl*) { LayoutPanels(); };
  UseClient(std::make_unique<TSmtpCli>());
  LayoutPanels();
  FinishCreate();
}

TForm80::~TForm80() {
  // The client goes first: none of its events may reach a half-destroyed form.
  SmtpClient.reset();
}

void TForm80::LayoutPanels() {
  const int w = ClientWidth(), h = ClientHeight();
  ToolsPanel->SetBounds(0, 0, w, h);
  P_DO->SetBounds(0, 0, w, h);

  // Settings: a label and a field per row, the buttons at the bottom right.
  const int field_w = std::clamp(w - 3 * kMargin - kLabelWidth, 120, 420);
  int y = kMargin;
  const std::pair<TLabel*, TControl*> rows[] = {{L_SMTP, HostEdit},     {L_Port, PortEdit},  {L_Konto, KW_Edit},
                                                {L_PWort, PW_Edit},     {L_Absender, FromEdit}, {L_Nach_1, CB_Adr},
                                                {L_Betreff_1, SubjectEdit}, {L_Sign, SignOnEdit}};
  for (auto [label, field] : rows) {
    label->SetBounds(kMargin, y + 4, kLabelWidth, 16);
    field->SetBounds(2 * kMargin + kLabelWidth, y, field == PortEdit ? std::min(field_w, 120) : field_w, kRowHeight);
    if (field->Visible) y += kRowStep;
  }
  const int buttons_y = std::max(y + kMargin, h - kMargin - kButtonHeight);
  SET_Mail_No->SetBounds(w - kMargin - kButtonWidth, buttons_y, kButtonWidth, kButtonHeight);
  SET_Mail_OK->SetBounds(w - 2 * (kMargin + kButtonWidth), buttons_y, kButtonWidth, kButtonHeight);

  // Send: recipient, subject and text on the left, the files on the right,
  // result line or progress and the buttons along the bottom.
  const int half = (w - 3 * kMargin) / 2, label_w = 70;
  L_Nach_2->SetBounds(kMargin, kMargin + 4, label_w, 16);
  Sel_MailTo->SetBounds(kMargin + label_w, kMargin, half - label_w, kRowHeight);
  L_Betreff_2->SetBounds(kMargin, kMargin + kRowStep + 4, label_w, 16);
  SubjectEd_1->SetBounds(kMargin + label_w, kMargin + kRowStep, half - label_w, kRowHeight);
  const int bottom_y = h - kMargin - kButtonHeight;
  const int text_top = kMargin + 2 * kRowStep;
  MsgMemo->SetBounds(kMargin, text_top, half, std::max(40, bottom_y - kMargin - text_top));
  for (TMemo* m : {Display_Files, FileAttachMemo})
    m->SetBounds(2 * kMargin + half, kMargin, w - 3 * kMargin - half, std::max(40, bottom_y - 2 * kMargin));
  FileAttachMemo->BringToFront();
  B_Break->SetBounds(w - kMargin - kButtonWidth, bottom_y, kButtonWidth, kButtonHeight);
  B_Send->SetBounds(w - 2 * (kMargin + kButtonWidth), bottom_y, kButtonWidth, kButtonHeight);
  const int result_w = std::max(60, B_Send->Left - 2 * kMargin);
  Mail_Error->SetBounds(kMargin, bottom_y + 2, result_w, kRowHeight);
  Bar->SetBounds(kMargin, bottom_y + 6, result_w, 16);
}

void TForm80::FormShow(TControl*) {
  HostEdit->Text = "smtp.?????";
  PortEdit->Text = "25";
  FromEdit->Text = "E-MAIL ADRESSE Sender";
  ToEdit->Text = "E-MAIL ADRESSE Empfänger"_w;
  SubjectEdit->Text = "Meine neuste Fahrt";
  SignOnEdit->Text = "Name";
  KW_Edit->Text = "??????";
  PW_Edit->Text.clear();
  // The address book too starts from its defaults: entries edited at an
  // earlier opening and not stored by its OK are gone when there is no file.
  for (TComboBox* box : {CB_Adr, Sel_MailTo}) {
    box->Items.Clear();
    for (int i = 0; i < 10; ++i) box->Items.Add(AddressDefault(i));
  }
  FileAttachMemo->Clear();
  opening_ = true;
}

void TForm80::FormActivate(TControl*) {
  const bool settings = Tag == 10, sending = Tag == 20;
  // The sizes below are outer sizes with the platform's usual frame; the
  // window takes them as its client area less that frame, the same at every
  // opening. Given as outer sizes they would make the client grow by the
  // difference between the usual frame and the window manager's real one
  // once the window has learned the real one.
  auto place = [this](int left, int top, int outer_w, int outer_h) {
    SetBounds(left, top, Width, Height);
    SetClientSize(outer_w - kFrameWidth, outer_h - kFrameHeight);
  };
  if (settings) {
    const std::optional<WindowPlace> picture = MainPicturePlace();
    const int w = picture ? picture->Width + 6 : ClientWidth() + kFrameWidth;
    const int h = picture ? picture->Height + 3 : ClientHeight() + kFrameHeight;
    place(Left, Top, std::max(w, kSettingsMinWidth), std::max(h, kSettingsMinHeight));
  } else if (sending) {
    const std::optional<WindowPlace> picture = MainPicturePlace();
    const int w = std::max(picture ? picture->Width + 3 : ClientWidth() + kFrameWidth, kSendMinWidth);
    int left = Left, top = Top;
    if (const std::optional<WindowPlace> diary = DiaryPlace()) {
      left = std::max(0, diary->Left + diary->Width - w - 5);
      top = diary->Top + 85;
    }
    place(left, top, w, kSendHeight);
  }
  LayoutPanels();
  ToolsPanel->Visible = settings;
  P_DO->Visible = sending;
  (settings ? ToolsPanel : P_DO)->BringToFront();
  // The files are read once per opening: coming back from a message box
  // must not throw away what the user typed.
  if (!opening_) return;
  opening_ = false;
  LoadFiles();
  CB_Adr->Select(0);
  CB_Adr->Tag = 0;
  Mail_Error->Hide();
  Mail_Error->Color = clYellow;
  if (settings) HostEdit->SetFocus();
  if (sending) {
    SubjectEd_1->Text = SubjectEdit->Text;
    FileAttachMemo->Show();
    const TStringList* listed = MainInfoLines();
    FileAttachMemo->Lines = listed != nullptr ? *listed : Display_Files->Lines;
    TStringList memo;
    if (memo.LoadFromFile(FsPath(MailMemoPath))) MsgMemo->Lines = memo;
    Sel_MailTo->SetFocus();
    Sel_MailTo->Select(0);
  }
}

void TForm80::LoadFiles() {
  const std::filesystem::path path = FsPath(MailSetPath);
  ReadMailSettings(path, settings_file_);
  SetMail_GRD->Clear();
  if (!settings_file_.Readable) {
    if (settings_file_.Exists)
      Application().MessageBox(
          Words("Die Mail-Einstellungsdatei "_w + MailSetPath +
                        " lässt sich nicht lesen: die Felder zeigen Vorgaben, und die Datei wird nicht ersetzt."_w,
                    "Cannot read the mail settings file " + MailSetPath +
                        ": the fields show defaults, and the file is not replaced.",
                    "No se puede leer el archivo de ajustes de correo "_w + MailSetPath +
                        ": los campos muestran valores predeterminados y el archivo no se reemplaza."_w),
          "tavlog", MB_OK | MB_ICONWARNING);
    return;
  }
  const MailSettingsLines& line = settings_file_.Lines;
  const int count = std::min(settings_file_.Count, kMailSettingsLines);
  for (int i = 0; i < count; ++i) SetMail_GRD->Items.Add(line[static_cast<std::size_t>(i)]);
  // Line by line as far as the file goes; a field past its end keeps its default.
  TSmtpCli& c = *SmtpClient;
  const std::pair<TEdit*, std::string*> fields[] = {
      {HostEdit, &c.Host},        {PortEdit, &c.Port},        {SignOnEdit, &c.SignOn},
      {KW_Edit, &c.Username},     {PW_Edit, &c.Password},     {SubjectEdit, &c.HdrSubject},
      {FromEdit, &c.FromName},    {FromEdit, &c.HdrFrom},     {ToEdit, &c.HdrTo}};
  for (int i = 0; i < std::min(count, static_cast<int>(kMailBook)); ++i) {
    fields[i].first->Text = *fields[i].second = line[static_cast<std::size_t>(i)];
  }
  if (count > kMailSubject) SubjectEd_1->Text = line[kMailSubject];
  for (TComboBox* box : {CB_Adr, Sel_MailTo}) {
    box->Items.Clear();
    box->Items.SetSorted(false);
    for (int i = 0; i < 10; ++i) box->Items.Add(kMailBook + i < count ? line[kMailBook + static_cast<std::size_t>(i)] : AddressDefault(i));
    box->Items.Sort();
  }
  if (settings_file_.Damaged()) Application().MessageBox(DamageText(), "tavlog", MB_OK | MB_ICONWARNING);
}

std::string TForm80::DamageText() const {
  const MailSettingsFile& f = settings_file_;
  const std::string held = std::to_string(f.Count), all = std::to_string(kMailSettingsLines);
  // Each finding in a sentence of its own.
  std::string text = Words("Die Mail-Einstellungsdatei "_w, "The mail settings file ",
                               "El archivo de ajustes de correo "_w) + MailSetPath;
  std::string what;
  auto add = [&](const std::string& de, const std::string& en, const std::string& es) {
    what += (what.empty() ? ": " : "; ") + Words(de, en, es);
  };
  if (f.Count < kMailSettingsLines)
    add("hat "_w + held + " Zeilen statt "_w + all + ", die fehlenden Einstellungen zeigen Vorgaben"_w,
        "holds " + held + " lines instead of " + all + ", the missing settings show defaults",
        "tiene "_w + held + " líneas en lugar de "_w + all +
            ", los ajustes que faltan muestran valores predeterminados"_w);
  else if (f.Count > kMailSettingsLines)
    add("hat "_w + held + " Zeilen statt "_w + all + ", die Zeilen nach der "_w + all + ". werden nicht übernommen"_w,
        "holds " + held + " lines instead of " + all + ", the lines after line " + all + " are not taken",
        "tiene "_w + held + " líneas en lugar de "_w + all + ", las líneas después de la "_w + all +
            ".ª no se toman"_w);
  if (f.LastLineCut)
    add("ihrer letzten Zeile fehlt der Zeilenumbruch (die Datei ist womöglich abgeschnitten)"_w,
        "its last line has no line break (the file may have been cut)",
        "a su última línea le falta el salto de línea (el archivo puede estar cortado)"_w);
  if (f.SendersDiffer)
    add("ihre beiden Absenderzeilen unterscheiden sich (\""_w + f.Lines[kMailSender] + "\" und \""_w +
            f.Lines[kMailSender2] + "\"), das Formular übernimmt die zweite"_w,
        "its two sender lines differ (\"" + f.Lines[kMailSender] + "\" and \"" + f.Lines[kMailSender2] +
            "\"), the form takes the second",
        "sus dos líneas de remitente difieren (\""_w + f.Lines[kMailSender] + "\" y \""_w +
            f.Lines[kMailSender2] + "\"), el formulario toma la segunda"_w);
  return text + what +
         Words(". Beim Speichern der Einstellungen bleibt die Datei, wie sie war, daneben als .BAD-Kopie erhalten."_w,
                   ". Once the settings are stored, the file as it was is kept beside them as a .BAD copy.",
                   ". Al guardar los ajustes, el archivo tal como estaba se conserva al lado como copia .BAD."_w);
}

void TForm80::AccountToClient() {
  TSmtpCli& c = *SmtpClient;
  c.Host = HostEdit->Text;
  c.Port = PortEdit->Text;
  c.SignOn = SignOnEdit->Text;
  c.Username = KW_Edit->Text;
  c.Password = PW_Edit->Text;
}

MailSettingsLines TForm80::SettingsFromEdits() const {
  MailSettingsLines lines;
  lines[kMailHost] = HostEdit->Text;
  lines[kMailPort] = PortEdit->Text;
  lines[kMailSignOn] = SignOnEdit->Text;
  lines[kMailAccount] = KW_Edit->Text;
  lines[kMailPassword] = PW_Edit->Text;
  lines[kMailSubject] = SubjectEdit->Text;
  lines[kMailSender] = lines[kMailSender2] = FromEdit->Text;
  lines[kMailRecipients] = ToEdit->Text;
  TStringList book = CB_Adr->Items;
  book.Sort();
  for (int i = 0; i < 10; ++i) lines[kMailBook + static_cast<std::size_t>(i)] = book.At(i);
  return lines;
}

// ---------------------------------------------------------------- settings panel

void TForm80::HostEditKeyPress(TControl* sender, char& key) {
  if (key != '\r') return;
  key = 0;
  SelectNext(sender);
}

void TForm80::CB_AdrEnter(TControl*) { CB_Adr->Tag = CB_Adr->ItemIndex; }

void TForm80::CB_AdrClick(TControl*) {
  CB_Adr->Tag = CB_Adr->ItemIndex;
  CB_Adr->Text = CB_Adr->Items.At(CB_Adr->ItemIndex);
}

void TForm80::StoreAddressEntry() {
  const int i = CB_Adr->Tag;
  if (i < 0 || i >= CB_Adr->Items.Count()) return;
  const std::string text = CB_Adr->Text;
  CB_Adr->Items[i] = text;
  CB_Adr->Items.Sort();
  CB_Adr->ItemIndex = CB_Adr->Tag = CB_Adr->Items.IndexOf(text);
}

void TForm80::CB_AdrKeyPress(TControl* sender, char& key) {
  if (key != '\r') return;
  StoreAddressEntry();
  key = 0;
  SelectNext(sender);
}

void TForm80::CB_AdrExit(TControl*) { StoreAddressEntry(); }

void TForm80::SET_Mail_OKClick(TControl*) {
  StoreAddressEntry();
  TSmtpCli& c = *SmtpClient;
  AccountToClient();
  c.AuthType = smtpAuthLogin;
  c.HdrSubject = SubjectEdit->Text;
  c.FromName = c.HdrFrom = FromEdit->Text;
  c.HdrTo = ToEdit->Text;
  const std::filesystem::path path = FsPath(MailSetPath);
  if (settings_file_.Damaged()) {
    // The file as it was read stays beside the new one.
    if (!settings_file_.Readable || KeepBadCopy(path, settings_file_.Bytes).empty()) {
      Application().MessageBox(
          Words("Die Mail-Einstellungsdatei "_w + MailSetPath +
                        " ließ sich nicht lesen oder als .BAD-Kopie sichern: die Einstellungen wurden nicht "
                        "gespeichert."_w,
                    "The mail settings file " + MailSetPath +
                        " could not be read or kept as a .BAD copy: the settings were not stored.",
                    "El archivo de ajustes de correo "_w + MailSetPath +
                        " no se pudo leer ni conservar como copia .BAD: los ajustes no se guardaron."_w),
          "tavlog", MB_OK | MB_ICONWARNING);
      return;
    }
    settings_file_ = MailSettingsFile{};
  }
  // The password stands in clear: the file is the owner's alone.
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (!WriteFileAtomically(path, EncodeMailSettings(SettingsFromEdits()), true)) {
    Application().MessageBox(
        Words("Die Mail-Einstellungsdatei "_w + MailSetPath +
                      " lässt sich nicht schreiben: die Einstellungen wurden nicht gespeichert."_w,
                  "Cannot write the mail settings file " + MailSetPath + ": the settings were not stored.",
                  "No se puede escribir el archivo de ajustes de correo "_w + MailSetPath +
                      ": los ajustes no se guardaron."_w),
        "tavlog", MB_OK | MB_ICONWARNING);
    return;
  }
  ToolsPanel->Hide();
  Close();
}

void TForm80::SET_Mail_NoClick(TControl*) {
  ToolsPanel->Hide();
  Close();
}

void TForm80::Button2Click(TControl*) {
  ToolsPanel->Show();
  ToolsPanel->BringToFront();
  HostEdit->SetFocus();
}
