#include "planner/gui/FrmRaskladProp.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "planner/gui/DialogHelp.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"

TRaskladPropForm::TRaskladPropForm(QWidget* parent) : QDialog(parent) {
  setObjectName("RaskladPropForm");
  CreateControls();
}

void TRaskladPropForm::CreateControls() {
  setWindowTitle(ToQString(TRaskladPropModel::Caption()));
  const std::vector<AnsiString> pages = TRaskladPropModel::PageCaptions();
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");

  auto* general = new QWidget(PageControl1);
  general->setObjectName("tsGeneral");
  auto* group = new QGroupBox(QString::fromUtf8("Тип раскладки"), general);
  group->setObjectName("rgRationType");
  const std::vector<AnsiString> types = TRaskladPropModel::RationTypeItems();
  rbDayMenu = new QRadioButton(ToQString(types[0]), group);
  rbDayMenu->setObjectName("rbDayMenu");
  rbAverage = new QRadioButton(ToQString(types[1]), group);
  rbAverage->setObjectName("rbAverage");
  auto* gl = new QVBoxLayout(group);
  gl->addWidget(rbDayMenu);
  gl->addWidget(rbAverage);
  gl->addStretch(1);
  auto* generalLayout = new QVBoxLayout(general);
  generalLayout->addWidget(group);
  generalLayout->addStretch(1);
  PageControl1->addTab(general, ToQString(pages[0]));

  lvParams = new QTreeWidget(PageControl1);
  lvParams->setObjectName("lvParams");
  const std::vector<AnsiString> columns = TRaskladPropModel::ListCaptions();
  lvParams->setHeaderLabels({ToQString(columns[0]), ToQString(columns[1])});
  lvParams->setRootIsDecorated(false);
  lvParams->setSelectionMode(QAbstractItemView::NoSelection);
  lvParams->setColumnWidth(0, 250);
  lvParams->headerItem()->setTextAlignment(1, Qt::AlignRight);
  PageControl1->addTab(lvParams, ToQString(pages[1]));

  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QString::fromUtf8("Отказ"), this);
  btnCancel->setObjectName("btnCancel");
  btnHelp = new QPushButton(QString::fromUtf8("Пояснить"), this);
  btnHelp->setObjectName("btnHelp");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnHelp);
  auto* main = new QVBoxLayout(this);
  main->addWidget(PageControl1);
  main->addLayout(buttons);
  resize(400, 330);

  connect(rbDayMenu, &QRadioButton::clicked, this, [this] { model_.SetRationTypeIndex(0); });
  connect(rbAverage, &QRadioButton::clicked, this, [this] { model_.SetRationTypeIndex(1); });
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnHelp, &QPushButton::clicked, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kRaskladPropHelpContext); }); });
}

void TRaskladPropForm::ApplyModelState() {
  (model_.RationTypeIndex() == 0 ? rbDayMenu : rbAverage)->setChecked(true);
  lvParams->clear();
  for (const TRaskladPropRow& row : model_.Rows()) {
    auto* item = new QTreeWidgetItem(lvParams, {ToQString(row.Caption), ToQString(row.Value)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  }
}

void TRaskladPropForm::Prepare(const TRationDocument& Doc) {
  model_.Load(Doc);
  ApplyModelState();
}

bool TRaskladPropForm::ApplyTo(TRationDocument& Doc) { return model_.Apply(Doc); }

int TRaskladPropForm::Execute(TRationDocument& Doc, bool* Changed) {
  Prepare(Doc);
  const bool ok = exec() == QDialog::Accepted;
  const bool changed = ok && ApplyTo(Doc);
  if (Changed != nullptr) *Changed = changed;
  return ok ? mrOk : mrCancel;
}
