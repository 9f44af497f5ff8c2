#include "report/gui/RP_ExportForms.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/core/AnsiText.h"
#include "platform/core/SysUtils.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Export.h"
#include "report/RP_Utils.h"

namespace {

QString Text(int id, const char* fallback) {
  const AnsiString s = rpLocalString(id);
  return ToQString(s.empty() ? Ansi(fallback) : s);
}

QString Number(double v) { return ToQString(FloatToStr(v)); }

}  // namespace

int rpShowExportOptions(TrpExportFilter& filter) {
  auto* text = dynamic_cast<TrpTextExport*>(&filter);
  if (!text) return 1;
  auto* html = dynamic_cast<TrpHTMExport*>(&filter);
  auto* csv = dynamic_cast<TrpCSVExport*>(&filter);
  auto* rtf = dynamic_cast<TrpRTFExport*>(&filter);
  const bool plain = !html && !csv && !rtf;
  const char* formName = html ? "TrpHTMExportForm" : csv ? "TrpCSVExportForm" : rtf ? "TrpRTFExportForm" : "TrpTXTExportForm";
  const int titleId = html ? 54830 : csv ? 54810 : rtf ? 54820 : 54800;

  TForm form;
  form.setObjectName(formName);
  form.SetCaption(rpLocalString(titleId));
  auto* column = new QVBoxLayout(&form);
  auto check = [&](const char* name, int id, const char* fallback, bool value) {
    auto* c = new QCheckBox(Text(id, fallback), &form);
    c->setObjectName(name);
    c->setChecked(value);
    column->addWidget(c);
    return c;
  };
  auto field = [&](const char* name, const QString& label, const QString& value) {
    column->addWidget(new QLabel(label, &form));
    auto* e = new QLineEdit(value, &form);
    e->setObjectName(name);
    column->addWidget(e);
    return e;
  };
  QCheckBox* kill = check("cbKillEmpty", 54801, "Удалять пустые строки", text->KillEmptyLines);
  QCheckBox* oem = (plain || csv) ? check("cbOEM", 54802, "Преобразовать в DOS", text->ConvertToOEM) : nullptr;
  QCheckBox* frames = plain ? check("cbFrames", 54803, "Экспортировать рамки", text->ExportFrames) : nullptr;
  QCheckBox* pseudo = plain ? check("cbPseudo", 54804, "Псевдографика", text->UsePseudographic) : nullptr;
  QCheckBox* pictures = html ? check("cbPictures", 54821, "Экспортировать рисунки", html->ExportPictures)
                        : rtf ? check("cbPictures", 54821, "Экспортировать рисунки", rtf->ExportBitmaps)
                              : nullptr;
  QCheckBox* table = rtf ? check("cbTable", 54822, "Преобразовать в таблицу", rtf->ConvertToTable) : nullptr;
  QCheckBox* breaks = (plain || rtf) ? check("cbBreaks", 54805, "Разрывы страниц", text->PageBreaks) : nullptr;
  const QString scale = Text(54806, "Масштаб");
  QLineEdit* sx = html ? nullptr : field("edScaleX", scale + " X", Number(text->ScaleX));
  QLineEdit* sy = field("edScaleY", scale + " Y", Number(text->ScaleY));
  QLineEdit* delim = csv ? field("edDelimiter", Text(54811, "Разделитель"), ToQString(AnsiString(1, csv->Delimiter))) : nullptr;
  if (pseudo) {
    pseudo->setEnabled(frames->isChecked());
    QObject::connect(frames, &QCheckBox::toggled, pseudo, &QCheckBox::setEnabled);
  }
  auto* ok = new QPushButton(Text(55000, "OK"), &form);
  ok->setObjectName("btnOk");
  auto* cancel = new QPushButton(Text(55001, "Отмена"), &form);
  cancel->setObjectName("btnCancel");
  column->addWidget(ok);
  column->addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, &form, [&] { form.SetModalResult(mrOk); });
  QObject::connect(cancel, &QPushButton::clicked, &form, [&] { form.SetModalResult(mrCancel); });
  const int result = form.ShowModal();

  // The values come back whatever the result.
  text->KillEmptyLines = kill->isChecked();
  if (oem) text->ConvertToOEM = oem->isChecked();
  if (frames) text->ExportFrames = frames->isChecked();
  if (pseudo) text->UsePseudographic = pseudo->isChecked();
  if (pictures && html) html->ExportPictures = pictures->isChecked();
  if (pictures && rtf) rtf->ExportBitmaps = pictures->isChecked();
  if (table) rtf->ConvertToTable = table->isChecked();
  if (breaks) text->PageBreaks = breaks->isChecked();
  if (sx) text->ScaleX = rpExportScale(FromQString(sx->text()));
  text->ScaleY = rpExportScale(FromQString(sy->text()));
  // The delimiter is one 1251 character: one the code page lacks becomes "?" here.
  if (delim && !delim->text().isEmpty()) csv->Delimiter = FromQString(As1251(delim->text().left(1)))[0];
  return result == mrOk ? 1 : result;
}

void rpInstallExportOptionsDialogs() { rpSetExportOptionsDialog(rpShowExportOptions); }
