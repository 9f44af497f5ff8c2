#include "platform/gui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "platform/core/Files.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

namespace {

std::unique_ptr<TDialogService>& CurrentService() {
  static std::unique_ptr<TDialogService> service = std::make_unique<TQtDialogService>();
  return service;
}

bool Has(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

}  // namespace

TDialogService& Dialogs() { return *CurrentService(); }

std::unique_ptr<TDialogService> SetDialogService(std::unique_ptr<TDialogService> service) {
  std::unique_ptr<TDialogService> previous = std::move(CurrentService());
  CurrentService() = service ? std::move(service) : std::make_unique<TQtDialogService>();
  return previous;
}

TScriptedDialogsScope::TScriptedDialogsScope() {
  auto scripted = std::make_unique<TScriptedDialogs>();
  dialogs_ = scripted.get();
  previous_ = SetDialogService(std::move(scripted));
}

TScriptedDialogsScope::~TScriptedDialogsScope() { SetDialogService(std::move(previous_)); }

int TScriptedDialogs::Execute(const TDialogRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) {
    ++unexpected_;
    return request.EscapeButton;
  }
  const int answer = answers_.front();
  answers_.pop_front();
  if (!Has(request.Buttons, answer)) {
    ++unexpected_;
    return request.EscapeButton;
  }
  return answer;
}

bool TScriptedDialogs::SelectDirectory(const AnsiString& caption, AnsiString& dir) {
  directoryDialogs_.emplace_back(caption, dir);
  if (directories_.empty()) {
    ++unexpected_;
    return false;
  }
  const std::optional<AnsiString> answer = directories_.front();
  directories_.pop_front();
  if (!answer) return false;
  dir = *answer;
  return true;
}

bool SelectDirectory(const AnsiString& caption, AnsiString& dir) { return Dialogs().SelectDirectory(caption, dir); }

AnsiString ButtonCaption(int result) {
  switch (result) {
    case mrYes: return Ansi("Да");
    case mrNo: return Ansi("Нет");
    case mrOk: return Ansi("ОК");
    case mrCancel: return Ansi("Отмена");
    case mrAbort: return Ansi("Прервать");
    case mrRetry: return Ansi("Повторить");
    case mrIgnore: return Ansi("Пропустить");
    case mrAll: return Ansi("Все");
    case mrNoToAll: return Ansi("Нет для всех");
    case mrYesToAll: return Ansi("Да для всех");
    case mrHelp: return Ansi("Справка");
    default: return {};
  }
}

AnsiString DialogCaption(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return Ansi("Предупреждение");
    case TMsgDlgType::mtError: return Ansi("Ошибка");
    case TMsgDlgType::mtInformation: return Ansi("Информация");
    case TMsgDlgType::mtConfirmation: return Ansi("Подтверждение");
    case TMsgDlgType::mtCustom: break;
  }
  return Application().Title;
}

int MessageDlg(const AnsiString& msg, TMsgDlgType type, TMsgDlgButtons buttons, int /*helpCtx*/) {
  static constexpr std::pair<TMsgDlgButtons, int> kOrder[] = {
      {mbYes, mrYes}, {mbNo, mrNo}, {mbOK, mrOk}, {mbCancel, mrCancel}, {mbAbort, mrAbort},
      {mbRetry, mrRetry}, {mbIgnore, mrIgnore}, {mbAll, mrAll}, {mbNoToAll, mrNoToAll},
      {mbYesToAll, mrYesToAll}, {mbHelp, mrHelp}};
  TDialogRequest r;
  r.Type = type;
  r.Caption = DialogCaption(type);
  r.Text = msg;
  for (const auto& [bit, result] : kOrder)
    if (buttons & bit) r.Buttons.push_back(result);
  if (r.Buttons.empty()) r.Buttons.push_back(mrOk);
  r.DefaultButton = Has(r.Buttons, mrOk) ? mrOk : Has(r.Buttons, mrYes) ? mrYes : r.Buttons.front();
  r.EscapeButton = Has(r.Buttons, mrCancel) ? mrCancel
                   : Has(r.Buttons, mrNo)   ? mrNo
                   : Has(r.Buttons, mrOk)   ? mrOk
                                            : r.Buttons.back();
  return Dialogs().Execute(r);
}

void ShowMessage(const AnsiString& msg) {
  TDialogRequest r;
  r.Type = TMsgDlgType::mtCustom;
  r.Caption = Application().Title;
  r.Text = msg;
  r.Buttons = {mrOk};
  Dialogs().Execute(r);
}

int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags) {
  TDialogRequest r;
  r.Caption = caption;
  r.Text = text;
  switch (flags & 0xF) {
    case MB_OKCANCEL: r.Buttons = {IDOK, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE: r.Buttons = {IDABORT, IDRETRY, IDIGNORE}; break;
    case MB_YESNOCANCEL: r.Buttons = {IDYES, IDNO, IDCANCEL}; break;
    case MB_YESNO: r.Buttons = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: r.Buttons = {IDRETRY, IDCANCEL}; break;
    default: r.Buttons = {IDOK}; break;
  }
  switch (flags & 0xF0) {
    case MB_ICONERROR: r.Type = TMsgDlgType::mtError; break;
    case MB_ICONQUESTION: r.Type = TMsgDlgType::mtConfirmation; break;
    case MB_ICONWARNING: r.Type = TMsgDlgType::mtWarning; break;
    case MB_ICONINFORMATION: r.Type = TMsgDlgType::mtInformation; break;
    default: r.Type = TMsgDlgType::mtCustom; break;
  }
  const std::size_t def = (flags & 0xF00) >> 8;
  r.DefaultButton = r.Buttons[std::min(def, r.Buttons.size() - 1)];
  // Esc answers Cancel; a box without Cancel cannot be closed with Esc except OK alone.
  r.EscapeButton = Has(r.Buttons, IDCANCEL) ? IDCANCEL : r.Buttons.size() == 1 ? IDOK : r.Buttons.back();
  return Dialogs().Execute(r);
}

int TQtDialogService::Execute(const TDialogRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  switch (request.Type) {
    case TMsgDlgType::mtWarning: box.setIcon(QMessageBox::Warning); break;
    case TMsgDlgType::mtError: box.setIcon(QMessageBox::Critical); break;
    case TMsgDlgType::mtInformation: box.setIcon(QMessageBox::Information); break;
    case TMsgDlgType::mtConfirmation: box.setIcon(QMessageBox::Question); break;
    case TMsgDlgType::mtCustom: box.setIcon(QMessageBox::NoIcon); break;
  }
  box.setWindowTitle(ToQString(request.Caption));
  box.setText(ToQString(request.Text));
  box.setTextFormat(Qt::PlainText);
  std::vector<std::pair<QAbstractButton*, int>> buttons;
  for (int result : request.Buttons) {
    QPushButton* b = box.addButton(ToQString(ButtonCaption(result)), QMessageBox::ActionRole);
    buttons.emplace_back(b, result);
    if (result == request.DefaultButton) box.setDefaultButton(b);
    if (result == request.EscapeButton) box.setEscapeButton(b);
  }
  box.exec();
  for (const auto& [button, result] : buttons)
    if (box.clickedButton() == button) return result;
  return request.EscapeButton;
}

bool TQtDialogService::SelectDirectory(const AnsiString& caption, AnsiString& dir) {
  QFileDialog dialog(QApplication::activeWindow(), ToQString(caption), QString::fromStdString(SysPath(dir)));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  dir = AnsiPath(dialog.selectedFiles().front().toStdString());
  return true;
}
