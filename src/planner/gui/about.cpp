#include "planner/gui/about.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtGlobal>

#include "planner/app/Globals.h"
#include "planner/gui/DialogHelp.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"

namespace {

constexpr int kPanelWidth = 330;

QLabel* NewLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutDlg");
  CreateControls();
  auto* help = new QAction(this);
  help->setObjectName("HelpContext");
  help->setShortcut(QKeySequence(Qt::Key_F1));
  connect(help, &QAction::triggered, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kAboutHelpContext); }); });
  addAction(help);
}

void TAboutDlg::CreateControls() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  auto* program = new QWidget(PageControl1);
  program->setObjectName("tsProgram");
  Panel1 = new QWidget(program);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedSize(kPanelWidth, 150);
  Panel1->setAutoFillBackground(true);
  Panel2 = new QWidget(program);
  Panel2->setObjectName("Panel2");
  Panel2->setFixedSize(kPanelWidth, 56);

  QFont titleFont = font();
  titleFont.setPointSize(20);
  titleFont.setBold(true);
  // The shadow first, so that the title is drawn over it.
  lblProgTitle2 = NewLabel(Panel1, "lblProgTitle2");
  lblProgTitle2->setFont(titleFont);
  lblProgTitle2->setStyleSheet("color: #808080");
  lblProgTitle1 = NewLabel(Panel1, "lblProgTitle1");
  lblProgTitle1->setFont(titleFont);
  lblProgTitle1->setStyleSheet("color: #000080");
  Label1 = NewLabel(Panel1, "Label1");
  Label1->setWordWrap(true);
  lblProgVer = NewLabel(Panel1, "lblProgVer");
  lblCopyright = NewLabel(Panel1, "lblCopyright");
  lblURL = NewLabel(Panel2, "lblURL");
  lblEMail = NewLabel(Panel2, "lblEMail");
  for (QLabel* link : {lblURL, lblEMail}) {
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet("color: #0000FF; text-decoration: underline");
    link->installEventFilter(this);
  }
  lblURL->setToolTip(QString::fromUtf8("Открыть web-сайт программы"));
  lblEMail->setToolTip(QString::fromUtf8("Написать письмо автору программы"));
  auto* pl = new QVBoxLayout(program);
  pl->addWidget(Panel1, 0, Qt::AlignHCenter);
  pl->addWidget(Panel2, 0, Qt::AlignHCenter);
  pl->addStretch(1);
  PageControl1->addTab(program, QString::fromUtf8("О программе"));

  lvSysInfo = new QTreeWidget(PageControl1);
  lvSysInfo->setObjectName("lvSysInfo");
  lvSysInfo->setHeaderLabels({"#", "Parameter", "Value"});
  lvSysInfo->setColumnHidden(0, true);
  lvSysInfo->setRootIsDecorated(false);
  lvSysInfo->setColumnWidth(1, 120);
  lvSysInfo->headerItem()->setTextAlignment(1, Qt::AlignRight);
  PageControl1->addTab(lvSysInfo, QString::fromUtf8("О системе"));

  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addStretch(1);
  auto* main = new QVBoxLayout(this);
  main->addWidget(PageControl1);
  main->addLayout(buttons);
  setFixedSize(400, 320);
}

void TAboutDlg::Centre(QLabel* label, int top) {
  label->adjustSize();
  const int panel = label->parentWidget()->width();
  if (label->wordWrap()) label->setFixedWidth(std::min(label->width(), panel));
  label->move(CenteredLeft(panel, label->width()), top);
}

void TAboutDlg::Prepare(const AnsiString& ProgTitle, const AnsiString& ProgVersion, const AnsiString& ProgCopyright,
                        const TSystemVersion& Version, const TMemoryStatus& Memory) {
  const TAboutTexts t = AboutTexts(ProgTitle, ProgVersion, ProgCopyright);
  setWindowTitle(ToQString(t.Caption));
  lblProgTitle1->setText(ToQString(t.Title));
  lblProgTitle2->setText(ToQString(t.Title));
  Label1->setText(ToQString(t.Subtitle));
  lblProgVer->setText(ToQString(t.Version));
  lblCopyright->setText(ToQString(t.Copyright));
  lblURL->setText(ToQString(t.Url));
  lblEMail->setText(ToQString(t.EMail));
  Centre(lblProgTitle1, 10);
  lblProgTitle2->adjustSize();
  lblProgTitle2->move(lblProgTitle1->x() + 2, lblProgTitle1->y() + 2);
  Centre(Label1, 60);
  Centre(lblProgVer, 90);
  Centre(lblCopyright, 115);
  Centre(lblURL, 6);
  Centre(lblEMail, 30);
  mailLink_ = AboutMailLink(ProgTitle, ProgVersion);

  lvSysInfo->clear();
  for (const TSysInfoRow& row : SysInfoRows(Version, Memory)) {
    auto* item = new QTreeWidgetItem(lvSysInfo, {QString(), ToQString(row.Name), ToQString(row.Value)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  }
  lvSysInfo->resizeColumnToContents(2);
}

int TAboutDlg::Execute(const AnsiString& ProgTitle, const AnsiString& ProgVersion, const AnsiString& ProgCopyright) {
  Prepare(ProgTitle, ProgVersion, ProgCopyright, GetSystemVersion(), GetMemoryStatus());
  // In the middle of the desktop, wherever the main window is.
  QRect placed = geometry();
  placed.moveCenter(screen()->availableGeometry().center());
  move(placed.topLeft());
  exec();
  return mrOk;
}

void TAboutDlg::lblURLClick() { ShellOpen(kProgramUrl); }
void TAboutDlg::lblEMailClick() { ShellOpen(mailLink_); }

bool TAboutDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == lblURL) GuardedCall(nullptr, [this] { lblURLClick(); });
    if (watched == lblEMail) GuardedCall(nullptr, [this] { lblEMailClick(); });
  }
  return QDialog::eventFilter(watched, event);
}
