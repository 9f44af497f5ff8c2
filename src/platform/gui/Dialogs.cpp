#include "platform/gui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QUrl>
#include <QStandardPaths>
#include <QScreen>
#include <QTimer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/core/Files.h"
#include "platform/gui/Application.h"
#include "platform/gui/Forms.h"
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
  const std::optional<int> answer = Next(answers_);
  if (!answer) return request.EscapeButton;
  if (!Has(request.Buttons, *answer)) {
    ++unexpected_;
    return request.EscapeButton;
  }
  return *answer;
}

bool TScriptedDialogs::SelectDirectory(const AnsiString& caption, AnsiString& dir) {
  directoryDialogs_.emplace_back(caption, dir);
  const std::optional<std::optional<AnsiString>> answer = Next(directories_);
  if (!answer || !*answer) return false;
  dir = **answer;
  return true;
}

bool TScriptedDialogs::ExecuteFileDialog(TFileDialogRequest& request) {
  fileDialogs_.push_back(request);
  const std::optional<FileAnswer> answer = Next(files_);
  if (!answer || !answer->name) return false;
  request.FileName = *answer->name;
  if (answer->filterIndex > 0) request.FilterIndex = answer->filterIndex;
  return true;
}

bool TScriptedDialogs::ExecutePageSetup(TPageSetupRequest& request) {
  const std::optional<TPageSetupScript> script = Next(pageSetups_);
  return script && (*script)(request);
}

bool TScriptedDialogs::ExecutePrint(TPrintRequest& request) {
  const std::optional<TPrintScript> script = Next(prints_);
  return script && (*script)(request);
}

TModalResult TScriptedDialogs::RunModal(TForm& form) {
  const AnsiString name = FromQString(form.objectName());
  modalForms_.push_back(name);
  if (forms_.empty() || forms_.front().first != name) {
    ++unexpected_;
    return mrCancel;
  }
  const TFormScript script = std::move(forms_.front().second);
  forms_.pop_front();
  script(form);
  if (form.ModalResult() != mrNone && form.CloseModal()) return form.ModalResult();
  // The script left the form open: a real user would still be looking at it.
  ++unexpected_;
  return mrCancel;
}

void TScriptedDialogs::ShowHelp(int context, const AnsiString&, const AnsiString&) {
  helpContexts_.push_back(context);
}

bool SelectDirectory(const AnsiString& caption, AnsiString& dir) { return Dialogs().SelectDirectory(caption, dir); }

bool ExistingDirectoryOrSay(const AnsiString& folder) {
  if (QFileInfo(QString::fromStdString(SysPath(folder))).isDir()) return true;
  MessageDlg(Format(Ansi("Папка \"%s\" не найдена."), {folder}), TMsgDlgType::mtError, mbOK);
  return false;
}

bool TDialogService::SelectDirectoryEx(TDirectoryRequest& request) {
  AnsiString folder = request.Folder;
  if (!SelectDirectory(request.Caption, folder)) return false;
  if (request.OnChoose && !request.OnChoose(folder)) return false;
  request.Folder = folder;
  return true;
}

std::vector<AnsiString> FileDialogNameFilters(const AnsiString& filter) {
  std::vector<AnsiString> parts;
  std::size_t start = 0;
  while (start <= filter.size()) {
    const std::size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == AnsiString::npos ? AnsiString::npos : bar - start));
    if (bar == AnsiString::npos) break;
    start = bar + 1;
  }
  std::vector<AnsiString> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    AnsiString patterns;
    std::size_t from = 0;
    const AnsiString& list = parts[i + 1];
    while (from <= list.size()) {
      const std::size_t semi = list.find(';', from);
      AnsiString p = Trim(list.substr(from, semi == AnsiString::npos ? AnsiString::npos : semi - from));
      if (p == "*.*") p = "*";
      if (!p.empty()) patterns += (patterns.empty() ? "" : " ") + p;
      if (semi == AnsiString::npos) break;
      from = semi + 1;
    }
    AnsiString description = parts[i];
    // Qt takes the patterns from the parentheses: the description's own ones are
    // replaced by the real list.
    const std::size_t open = description.rfind('(');
    if (open != AnsiString::npos && description.back() == ')') description = TrimRight(description.substr(0, open));
    out.push_back(description + " (" + patterns + ")");
  }
  return out;
}

AnsiString WithDefaultExt(const AnsiString& fileName, const AnsiString& defaultExt) {
  if (fileName.empty() || defaultExt.empty() || !ExtractFileExt(fileName).empty()) return fileName;
  return fileName + "." + defaultExt;
}

bool TOpenDialog::Execute() {
  TFileDialogRequest r;
  r.Kind = kind_;
  r.Title = Title;
  r.Filter = Filter;
  r.FilterIndex = FilterIndex;
  r.InitialDir = InitialDir;
  r.FileName = FileName;
  r.DefaultExt = DefaultExt;
  if (!r.DefaultExt.empty() && r.DefaultExt.front() == '.') r.DefaultExt.erase(0, 1);
  r.FileMustExist = FileMustExist;
  r.OverwritePrompt = OverwritePrompt;
  if (!Dialogs().ExecuteFileDialog(r)) return false;
  FileName = kind_ == TFileDialogKind::fdSave ? WithDefaultExt(r.FileName, r.DefaultExt) : r.FileName;
  FilterIndex = r.FilterIndex;
  return true;
}

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

bool TDialogService::BrowseFolder(TFolderBrowseRequest& request) {
  if (request.OnInitialized) request.OnInitialized();
  AnsiString dir = request.StartFolder;
  if (!SelectDirectory(request.Title, dir)) return false;
  if (request.OnSelChanged && !request.OnSelChanged(dir)) return false;
  request.Folder = dir;
  return true;
}

void SetUpFolderBrowser(QFileDialog& dialog, TFolderBrowseRequest& request) {
  dialog.setWindowTitle(ToQString(Ansi("Обзор папок")));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The dialog's text goes right above the folders: the folder views (the splitter of
  // places and list) share their place in the dialog's grid with it.
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  auto* views = dialog.findChild<QSplitter*>("splitter");
  if (!request.Title.empty() && grid && views && grid->indexOf(views) >= 0) {
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(views), &row, &column, &rows, &columns);
    grid->removeWidget(views);
    auto* box = new QWidget(&dialog);
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel(ToQString(request.Title), box);
    text->setObjectName("DialogText");
    text->setWordWrap(true);
    stack->addWidget(text);
    stack->addWidget(views, 1);
    grid->addWidget(box, row, column, rows, columns);
  }
  const QString start = QString::fromStdString(SysPath(request.StartFolder));
  if (!request.StartFolder.empty() && QFileInfo(start).isDir()) dialog.setDirectory(start);
  else dialog.setDirectory(QDir::rootPath());
  // The places: the desktop and the home folder above the file system, or its root only.
  QList<QUrl> places;
  if (request.DesktopRoot) {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (QFileInfo(desktop).isDir()) places << QUrl::fromLocalFile(desktop);
    places << QUrl::fromLocalFile(QDir::homePath());
  }
  places << QUrl::fromLocalFile(QDir::rootPath());
  dialog.setSidebarUrls(places);
  QDialogButtonBox* box = dialog.findChild<QDialogButtonBox*>();
  auto selectionChanged = [&request, box](const QString& path) {
    const bool ok = request.OnSelChanged ? request.OnSelChanged(AnsiPath(path.toStdString()))
                                         : !path.isEmpty() && QFileInfo(path).isDir();
    if (box)
      if (QPushButton* button = box->button(QDialogButtonBox::Open)) button->setEnabled(ok);
  };
  QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, selectionChanged);
  QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, selectionChanged);
  if (request.HelpButton && box) {
    QPushButton* help = box->addButton(ToQString(AnsiString("&Help")), QDialogButtonBox::HelpRole);
    help->setObjectName("HelpButton");
    QObject::connect(help, &QPushButton::clicked, &dialog, [&request] {
      if (request.OnHelp) request.OnHelp();
    });
  }
  if (request.CenterOnScreen) {
    dialog.adjustSize();
    CenterWindow(dialog);
  }
}

bool TQtDialogService::BrowseFolder(TFolderBrowseRequest& request) {
  // The window active before gets the activation back when the browser closes (the
  // browser blocks every other window while it runs: it is application-modal).
  const QPointer<QWidget> previous = QApplication::activeWindow();
  QFileDialog dialog(previous);
  SetUpFolderBrowser(dialog, request);
  // The dialog exists and shows when its event loop runs its first round.
  QTimer::singleShot(0, &dialog, [&request] {
    if (request.OnInitialized) request.OnInitialized();
  });
  const int result = dialog.exec();
  dialog.hide();
  if (previous && previous->isVisible()) previous->activateWindow();
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  request.Folder = AnsiPath(dialog.selectedFiles().front().toStdString());
  return true;
}

namespace {

// The folder dialog of a request: a folder may be typed as well as selected; the request
// decides whether it will do before the dialog closes.
class TDirectoryDialog : public QFileDialog {
 public:
  explicit TDirectoryDialog(TDirectoryRequest& request);
  void accept() override;

 private:
  QPushButton* OkButton() const;
  TDirectoryRequest& request_;
};

TDirectoryDialog::TDirectoryDialog(TDirectoryRequest& request)
    : QFileDialog(QApplication::activeWindow(), ToQString(request.Caption),
                  QString::fromStdString(SysPath(request.Folder))),
      request_(request) {
  setFileMode(QFileDialog::Directory);
  setOption(QFileDialog::ShowDirsOnly);
  setOption(QFileDialog::DontUseNativeDialog);
  // OK while the current item is an existing directory, or, with AllowNew, while a name is
  // typed (after the dialog's own update of the button).
  auto enableOk = [this](const QString& path) {
    if (QPushButton* ok = OkButton()) ok->setEnabled(!path.isEmpty() && QFileInfo(path).isDir());
  };
  QObject::connect(this, &QFileDialog::currentChanged, this, enableOk);
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) {
    QObject::connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) {
      if (QPushButton* ok = OkButton(); ok && request_.AllowNew && !text.trimmed().isEmpty()) ok->setEnabled(true);
    });
  }
}

QPushButton* TDirectoryDialog::OkButton() const {
  auto* box = findChild<QDialogButtonBox*>();
  return box != nullptr ? box->button(QDialogButtonBox::Open) : nullptr;
}

void TDirectoryDialog::accept() {
  // The folder typed or selected, whether it exists or not: the request decides (the
  // dialog's own check would refuse a new folder in an English message box).
  const QStringList files = selectedFiles();
  if (files.isEmpty()) return;
  const QFileInfo info(files.front());
  if (info.exists() && !info.isDir()) return;
  const AnsiString folder = AnsiPath(QDir::cleanPath(info.absoluteFilePath()).toStdString());
  if (request_.OnChoose && !request_.OnChoose(folder)) return;
  request_.Folder = folder;
  QDialog::accept();
}

}  // namespace

bool TQtDialogService::SelectDirectory(const AnsiString& caption, AnsiString& dir) {
  TDirectoryRequest request;
  request.Caption = caption;
  request.Folder = dir;
  request.OnChoose = ExistingDirectoryOrSay;
  if (!SelectDirectoryEx(request)) return false;
  dir = request.Folder;
  return true;
}

bool TQtDialogService::SelectDirectoryEx(TDirectoryRequest& request) {
  TDirectoryDialog dialog(request);
  return dialog.exec() == QDialog::Accepted;
}

bool TQtDialogService::ExecuteFileDialog(TFileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), ToQString(request.Title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const bool save = request.Kind == TFileDialogKind::fdSave;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save || !request.FileMustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.OverwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters;
  for (const AnsiString& f : FileDialogNameFilters(request.Filter)) filters << ToQString(f);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = std::clamp(request.FilterIndex, 1, static_cast<int>(filters.size()));
    dialog.selectNameFilter(filters[index - 1]);
  }
  if (!request.DefaultExt.empty()) dialog.setDefaultSuffix(ToQString(request.DefaultExt));
  if (!request.InitialDir.empty()) dialog.setDirectory(QString::fromStdString(SysPath(request.InitialDir)));
  if (!request.FileName.empty()) dialog.selectFile(QString::fromStdString(SysPath(request.FileName)));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  request.FileName = AnsiPath(dialog.selectedFiles().front().toStdString());
  const int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
  if (chosen >= 0) request.FilterIndex = chosen + 1;
  return true;
}

bool TQtDialogService::ExecutePageSetup(TPageSetupRequest& request) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QPageSize size(QSizeF(request.PaperWidth / 10.0, request.PaperHeight / 10.0), QPageSize::Millimeter,
                       QString(), QPageSize::FuzzyMatch);
  const QMarginsF margins(request.MarginLeft / 100.0, request.MarginTop / 100.0, request.MarginRight / 100.0,
                          request.MarginBottom / 100.0);
  printer.setPageLayout(QPageLayout(size,
                                    request.Orientation == TPrinterOrientation::poLandscape
                                        ? QPageLayout::Landscape
                                        : QPageLayout::Portrait,
                                    margins, QPageLayout::Millimeter));
  QPageSetupDialog dialog(&printer, QApplication::activeWindow());
  if (dialog.exec() != QDialog::Accepted) return false;
  const QPageLayout layout = printer.pageLayout();
  const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
  request.PaperWidth = static_cast<int>(mm.width() * 10 + 0.5);
  request.PaperHeight = static_cast<int>(mm.height() * 10 + 0.5);
  request.Orientation = layout.orientation() == QPageLayout::Landscape ? TPrinterOrientation::poLandscape
                                                                       : TPrinterOrientation::poPortrait;
  const QMarginsF m = layout.margins(QPageLayout::Millimeter);
  request.MarginLeft = static_cast<int>(m.left() * 100 + 0.5);
  request.MarginTop = static_cast<int>(m.top() * 100 + 0.5);
  request.MarginRight = static_cast<int>(m.right() * 100 + 0.5);
  request.MarginBottom = static_cast<int>(m.bottom() * 100 + 0.5);
  return true;
}

bool TQtDialogService::ExecutePrint(TPrintRequest& request) {
  QPrinter printer(QPrinter::HighResolution);
  if (!request.PrinterName.empty()) printer.setPrinterName(ToQString(request.PrinterName));
  if (printer.printerName().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(SysPath(request.OutputFile)));
  }
  printer.setCopyCount(std::max(request.Copies, 1));
  printer.setCollateCopies(request.Collate);
  printer.setFromTo(request.FromPage, request.ToPage);
  QPrintDialog dialog(&printer, QApplication::activeWindow());
  dialog.setMinMax(request.MinPage, std::max(request.MinPage, request.MaxPage));
  if (dialog.exec() != QDialog::Accepted) return false;
  request.PrinterName = FromQString(printer.printerName());
  request.OutputFile = printer.outputFileName().isEmpty() ? AnsiString() : AnsiPath(printer.outputFileName().toStdString());
  request.Copies = std::max(printer.copyCount(), 1);
  request.Collate = printer.collateCopies();
  if (printer.printRange() == QPrinter::PageRange) {
    request.FromPage = printer.fromPage();
    request.ToPage = printer.toPage();
  } else {
    request.FromPage = request.ToPage = 0;
  }
  return true;
}

TModalResult TQtDialogService::RunModal(TForm& form) {
  QEventLoop loop;
  QPointer<TForm> guard(&form);
  form.modalLoop_ = &loop;
  // The loop ends when the form's ModalResult has been set and CloseModal let it close
  // (TForm::SetModalResult queues that check), or when the form goes away.
  QObject::connect(&form, &QObject::destroyed, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::DialogExec);
  if (!guard) return mrCancel;
  form.modalLoop_ = nullptr;
  return form.ModalResult();
}

namespace {

// The help stand-in: one window, reused, with the topic's title and text.
class THelpWindow : public QDialog {
 public:
  // A window of the main window (which frees it), or of its own.
  explicit THelpWindow(QWidget* owner) : QDialog(owner, Qt::Window) {
    setObjectName("HelpWindow");
    setWindowTitle(ToQString(Ansi("Справка")));
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    QFont f = title_->font();
    f.setBold(true);
    f.setPixelSize(14);
    title_->setFont(f);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(ToQString(Ansi("Закрыть")), QDialogButtonBox::RejectRole);
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(title_);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
    resize(420, 220);
  }
  void Show(const AnsiString& title, const AnsiString& text) {
    title_->setText(ToQString(title));
    text_->setText(ToQString(text));
    ShowOverModal(this);
  }

 private:
  QLabel* title_;
  QLabel* text_;
};

}  // namespace

void TQtDialogService::ShowHelp(int, const AnsiString& title, const AnsiString& text) {
  static QPointer<THelpWindow> window;
  if (!window) window = new THelpWindow(Application().MainForm);
  window->Show(title, text);
}
