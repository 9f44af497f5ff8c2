#include "planner/gui/DialogHelp.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "platform/gui/Dialogs.h"

TDialogButtons CreateDialogButtons(QWidget* parent) {
  TDialogButtons b;
  b.Ok = new QPushButton("OK", parent);
  b.Ok->setObjectName("btnOk");
  b.Ok->setDefault(true);
  b.Cancel = new QPushButton(QString::fromUtf8("Отказ"), parent);
  b.Cancel->setObjectName("btnCancel");
  b.Help = new QPushButton(QString::fromUtf8("Пояснить"), parent);
  b.Help->setObjectName("btnHelp");
  b.Row = new QHBoxLayout;
  b.Row->addStretch(1);
  b.Row->addWidget(b.Ok);
  b.Row->addWidget(b.Cancel);
  b.Row->addWidget(b.Help);
  return b;
}

void ShowDialogHelp(const std::function<void(int Context)>& OnHelp, int Context) {
  if (OnHelp) {
    OnHelp(Context);
    return;
  }
  MessageDlg(Format(Ansi("Справка (раздел %d) не установлена."), {Context}), TMsgDlgType::mtInformation, mbOK);
}
