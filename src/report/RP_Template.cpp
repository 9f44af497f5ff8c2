#include "report/RP_Template.h"

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "report/RP_Utils.h"

namespace {

constexpr std::uint8_t kPageRecord = 255, kDictionaryRecord = 254, kAddInTrailer = 253;

AnsiString Upper(const AnsiString& s) { return AnsiUpperCase(s); }

AnsiString BadFormat() { return rpLocalString(55345); }


TW_DECLARE_EXCEPTION(ErpFormatError, Exception)

}  // namespace

void TrpPages::SaveToStream(TStream& stream) {
  if (GetCount() > 256) throw EWriteError(Ansi("Шаблон с более чем 256 страницами не может быть записан"));
  stream.WriteInt16(PrintToDefault ? 1 : 0);
  stream.WriteInt16(DoublePass ? 1 : 0);
  PrinterName = rpPrinter().PrinterName();
  AnsiString printer = PrinterName;
  if (printer == rpLocalString(55007)) printer = "\x01";
  rpStreamWriteString(stream, printer);
  for (const auto& p : Pages) {
    stream.WriteByte(kPageRecord);
    p->SaveToStream(stream);
  }
  for (int i = 0; i < GetCount(); ++i)
    for (const auto& v : Pages[static_cast<std::size_t>(i)]->Objects) {
      stream.WriteByte(v->ObjectType);
      if (v->ObjectType == rpotAddIn) rpStreamWriteString(stream, v->ClassName());
      stream.WriteByte(static_cast<std::uint8_t>(i));
      const std::int64_t placeholder = stream.Position();
      stream.WriteInt32(0);
      const bool was = v->InPreparedPage;
      v->InPreparedPage = false;
      v->SaveToStream(stream);
      v->InPreparedPage = was;
      const std::int64_t end = stream.Position();
      stream.SetPosition(placeholder);
      stream.WriteInt32(static_cast<std::int32_t>(end));
      stream.Seek(0, TSeekOrigin::soEnd);
    }
  stream.WriteByte(kDictionaryRecord);
  Dictionary.SaveToStream(stream);
}

void TrpPages::SetPrinterByName(const AnsiString& name) {
  PrinterName = name;
  if (PrintToDefault) return;
  const int index = rpPrinter().IndexOfName(name);
  if (index >= 0) rpPrinter().SetPrinterIndex(index);
}

void TrpPages::LoadFromStream(TStream& stream) {
  TrpBuildState& st = rpState();
  const int v = st.StreamVersion;
  Clear();
  Dictionary.Clear();
  PrintToDefault = stream.ReadInt16() != 0;
  DoublePass = stream.ReadInt16() != 0;
  AnsiString printer = ReadReportString(stream);
  if (printer == "\x01") printer = rpLocalString(55007);
  SetPrinterByName(printer);
  const std::int64_t size = stream.Size();
  while (stream.Position() < size) {
    const std::int64_t recordStart = stream.Position();
    const std::uint8_t type = stream.ReadByte();
    if (type == kPageRecord) {
      Pages.push_back(std::make_unique<TrpPage>(rpPrinter().PaperSize, rpPrinter().PaperWidth,
                                                rpPrinter().PaperHeight, -1, rpPrinter().Orientation));
      TrpPage& page = *Pages.back();
      page.LoadFromStream(stream);
      if (v <= 23) {
        for (int n = 1; n <= 10000; ++n) {
          const AnsiString name = "Page" + IntToStr(n);
          bool taken = false;
          for (const auto& p : Pages) taken = taken || p->Name == name;
          if (!taken) {
            page.Name = name;
            break;
          }
        }
      }
      continue;
    }
    if (type == kDictionaryRecord) {
      Dictionary.LoadFromStream(stream);
      continue;
    }
    if (type == kAddInTrailer) break;
    if (type > rpotAddIn) throw ErpFormatError(BadFormat());
    // An object record.
    bool offsetRead = false;
    std::int64_t next = 0;
    auto readOffset = [&] {
      next = stream.ReadInt32();
      offsetRead = true;
      // The next record lies after this one's start and inside the stream.
      if (next <= recordStart || next > size) throw ErpFormatError(BadFormat());
    };
    AnsiString className;
    std::unique_ptr<TrpView> view;
    TrpView* added = nullptr;
    try {
      if (type == rpotAddIn) {
        // The legacy names are recognised whatever their case; others name a
        // registered class exactly.
        className = ReadReportString(stream);
        const AnsiString upper = Upper(className);
        if (upper == "TRPBDELOOKUPCONTROL" || upper == "TRPIBXLOOKUPCONTROL") className = "TrpDBLookupControl";
        if (upper == "TRPFRAMEDMEMOVIEW") className = upper;
      }
      const bool framedMemo = className == "TRPFRAMEDMEMOVIEW";
      const int pageIndex = stream.ReadByte();
      if (pageIndex >= GetCount()) throw ErpRecordError(BadFormat());
      TrpPage& page = *Pages[static_cast<std::size_t>(pageIndex)];
      st.CurrentPage = &page;
      try {
        view = CreateReportObject(framedMemo ? rpotMemo : type, className);
      } catch (const EClassNotFound&) {
        MissingClasses += className + "\r";
        throw;
      }
      if (!view) throw ErpRecordError(BadFormat());
      if (v > 23) readOffset();
      added = page.AddObject(std::move(view));
      try {
        added->LoadFromStream(stream);
      } catch (...) {
        // A record that cannot be read whole holds no object worth keeping: its
        // fields are partly from the file and partly defaults.
        page.Objects.pop_back();
        added = nullptr;
        throw;
      }
      added->SetPropValue("Name", added->Name);
      if (framedMemo) stream.ReadString(8);
      if (offsetRead) stream.SetPosition(next);
    } catch (const ErpFormatError&) {
      throw;
    } catch (const Exception&) {
      // A damaged or unknown object is skipped through its offset in a version-24
      // template; older templates have no offsets, and what follows a record that
      // could not be read cannot be found: the template is damaged.
      if (v != 24) throw;
      if (!offsetRead) readOffset();
      stream.SetPosition(next);
    }
  }
  if (!MissingClasses.empty())
    throw EClassNotFound("Opened report contains the following non-plugged components:\r" + MissingClasses +
                         "Use appropriate component from the component palette");
  for (const auto& p : Pages)
    for (const auto& obj : p->Objects) obj->AfterLoad();
}

void rpSaveTemplate(TrpPages& pages, TStream& stream) {
  stream.WriteByte(rpTemplateVersion);
  pages.SaveToStream(stream);
}

TrpTemplateLoad rpLoadTemplate(TrpPages& pages, TStream& stream) {
  TrpTemplateLoad result;
  TrpBuildState& st = rpState();
  if (stream.Size() - stream.Position() <= 0) {
    pages.Dictionary.Clear();
    return result;
  }
  const std::int64_t start = stream.Position();
  int version = stream.ReadByte();
  if (version < 21) {
    version = 21;
    stream.SetPosition(start);
  }
  if (version > rpTemplateVersion) {
    pages.Dictionary.Clear();
    result.Result = 1;
    result.Message = BadFormat();
    return result;
  }
  TrpStreamVersionScope scope(version);
  pages.MissingClasses.clear();
  st.ErrorText.clear();
  st.ErrorFlag = false;
  TrpPage* const current = st.CurrentPage;
  try {
    pages.LoadFromStream(stream);
  } catch (const EClassNotFound& e) {
    result.Result = 3;
    result.Message = e.Message();
  } catch (const Exception&) {
    result.Result = 2;
    result.Message = BadFormat();
    pages.Clear();
    pages.Add();
  }
  st.CurrentPage = current;
  st.ErrorText.clear();
  st.ErrorFlag = false;
  return result;
}

void rpSaveTemplateFile(TrpPages& pages, const AnsiString& fileName) {
  TMemoryStream m;
  rpSaveTemplate(pages, m);
  const std::string bytes = m.Bytes();
  SaveFileAtomically(fileName, [&](TStream& s) { s.WriteString(bytes); });
}

TrpTemplateLoad rpLoadTemplateFile(TrpPages& pages, const AnsiString& fileName) {
  TMemoryStream m;
  m.LoadFromFile(fileName);
  m.SetPosition(0);
  return rpLoadTemplate(pages, m);
}
