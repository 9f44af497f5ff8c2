#include "report/RP_Export.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <fcntl.h>
#include <unistd.h>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"
#include "report/RP_BandView.h"
#include "report/RP_Class.h"
#include "report/RP_Memo.h"
#include "report/RP_State.h"
#include "report/RP_Utils.h"

namespace {

const char kCrLf[] = "\r\n";

int RoundInt(double v) {
  if (!std::isfinite(v)) return 0;
  v = std::clamp(v, -1e9, 1e9);
  return static_cast<int>(std::lround(v));
}

TrpExportOptionsDialog& OptionsDialog() {
  static TrpExportOptionsDialog dialog;
  return dialog;
}

// The engine hooks while an export runs: the two export entry points go to the filter,
// everything else to the hooks that were installed before.
class TExportHooks : public TrpEngineHooks {
 public:
  TExportHooks(TrpEngineHooks& inner, TrpExportFilter& filter) : inner_(inner), filter_(filter) {}
  AnsiString ExpressionText(TrpView* view, const AnsiString& e) override { return inner_.ExpressionText(view, e); }
  Variant EvaluateExpression(const AnsiString& e) override { return inner_.EvaluateExpression(e); }
  void RunScript(TrpView* view, const TStringList& s) override { inner_.RunScript(view, s); }
  bool BeforePrint(TStringList& t, TrpView& v) override { return inner_.BeforePrint(t, v); }
  void AddExportText(const TRect& frame, int x, int y, const AnsiString& text, int frameTyp, TrpView& view) override {
    filter_.AddText(frame, x, y, text, frameTyp, view);
  }
  void AddExportObject(TrpView& view, int x, int y) override { filter_.AddObject(x, y, view); }
  TrpView* FindObject(const AnsiString& name) override { return inner_.FindObject(name); }
  TrpPage* PageAt(int index) override { return inner_.PageAt(index); }
  AnsiString ReportName() override { return inner_.ReportName(); }
  bool SetBandProperty(TrpBandView& v, const AnsiString& n, const Variant& val) override {
    return inner_.SetBandProperty(v, n, val);
  }
  bool GetBandProperty(TrpBandView& v, const AnsiString& n, Variant& val) override {
    return inner_.GetBandProperty(v, n, val);
  }
  bool BandMethod(TrpBandView& v, const AnsiString& n, Variant& r) override { return inner_.BandMethod(v, n, r); }
  bool CurrentBandGeometry(int& t, int& h, int& w, int& b) override { return inner_.CurrentBandGeometry(t, h, w, b); }
  int PageFooterHeight(TrpPage& page) override { return inner_.PageFooterHeight(page); }

 private:
  TrpEngineHooks& inner_;
  TrpExportFilter& filter_;
};

AnsiString HexColor(TColor c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

TColor PlainColor(TColor c) { return c == rpNoColor ? clBlack : ColorToRGB(c) & 0xFFFFFF; }

}  // namespace

// ---------------------------------------------------------------------------------------

TrpExportFilter::~TrpExportFilter() { UnregisterExportFilter(this); }

void TrpExportFilter::WriteText(std::string_view text) {
  if (Stream && !text.empty()) Stream->WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

void TrpExportFilter::RegisterAs(const AnsiString& exactClass, int descriptionId, const AnsiString& mask) {
  if (ClassName() != exactClass) return;  // called from the constructor of exactly that class
  RegisterExportFilter(this, rpLocalString(descriptionId) + " (" + mask + ")", mask);
}

void rpSetExportOptionsDialog(TrpExportOptionsDialog dialog) { OptionsDialog() = std::move(dialog); }

int rpRunExportOptionsDialog(TrpExportFilter& filter) {
  if (!filter.ShowDialog || !OptionsDialog()) return 1;
  return OptionsDialog()(filter);
}

namespace {
// Thrown through the save when the progress callback stops the export.
struct TExportStopped {};
}  // namespace

bool rpExportPages(TrpEMFPages& pages, TrpExportFilter& filter, const AnsiString& fileName,
                   const TrpExportProgress& progress) {
  AnsiString name = fileName;
  bool go = true;
  if (filter.OnBeforeExport) filter.OnBeforeExport(name, go);
  if (!go || filter.ShowOptionsDialog() != 1) return false;

  TrpBuildState& st = rpState();
  TrpEngineHooks* oldHooks = st.Hooks;
  const int oldTotal = st.TotalPages;
  TExportHooks hooks(*oldHooks, filter);
  struct Restore {
    TrpExportFilter& f;
    TrpEngineHooks* hooks;
    int total;
    ~Restore() {
      f.Stream = nullptr;
      f.CurrentPage = nullptr;
      rpState().Hooks = hooks;
      rpState().TotalPages = total;
    }
  } restore{filter, oldHooks, oldTotal};

  filter.FileName = name;
  // The file is made first (a file that cannot be made raises before the filter
  // hears of the export) and replaces the old one only when the export has ended.
  try {
    SaveFileAtomically(name, [&](TStream& out) {
      filter.Stream = &out;
      st.Hooks = &hooks;
      st.TotalPages = pages.GetCount();
      filter.BeginDocument();
      if (progress && !progress(0, pages.GetCount())) throw TExportStopped{};
      for (int i = 0; i < pages.GetCount(); ++i) {
        filter.CurrentPage = pages.GetPages(i);
        filter.BeginPage();
        pages.ExportData(i);
        filter.EndPage();
        filter.CurrentPage = nullptr;
        if (progress && !progress(i + 1, pages.GetCount())) throw TExportStopped{};
      }
      filter.EndDocument();
      filter.Stream = nullptr;
    });
  } catch (const TExportStopped&) {
    return false;
  }
  if (filter.OnAfterExport) filter.OnAfterExport(name);
  return true;
}

bool rpExportReport(TrpReport& report, TrpExportFilter& filter, const AnsiString& fileName,
                    const TrpExportProgress& progress) {
  TrpBuildState& st = rpState();
  TrpReport* oldCurrent = st.CurrentReport;
  TrpReport* oldMaster = st.MasterReport;
  struct Restore {
    TrpReport *c, *m;
    ~Restore() {
      rpState().CurrentReport = c;
      rpState().MasterReport = m;
    }
  } restore{oldCurrent, oldMaster};
  st.CurrentReport = st.MasterReport = &report;
  return rpExportPages(report.EMFPages, filter, fileName, progress);
}

AnsiString rpFileErrorReason(const std::exception& e) {
  const auto* stream = dynamic_cast<const EStreamError*>(&e);
  const int code = stream ? stream->ErrorCode : 0;
  const char* reason = nullptr;
  switch (code) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT: reason = "на диске нет места"; break;
    case EROFS: reason = "папка доступна только для чтения"; break;
    case EACCES:
    case EPERM: reason = "нет прав доступа к папке или файлу"; break;
    case ENOENT: reason = "файл или папка не найдены"; break;
    case ENOTDIR: reason = "папка не найдена"; break;
    case EISDIR: reason = "под этим именем уже есть папка"; break;
    case ENAMETOOLONG: reason = "слишком длинное имя файла"; break;
    case EWOULDBLOCK: reason = "файл сейчас записывает другая программа"; break;
    case EIO: reason = "ошибка чтения или записи на диске"; break;
    default: break;
  }
  if (reason) return Ansi(reason);
  if (code != 0) return Ansi("системная ошибка ") + IntToStr(code);
  if (const auto* ours = dynamic_cast<const Exception*>(&e)) return ours->Message();
  return e.what();
}

namespace {
TrpExportProgressHost& ProgressHost() {
  static TrpExportProgressHost host;
  return host;
}
}  // namespace

void rpSetExportProgressHost(TrpExportProgressHost host) { ProgressHost() = std::move(host); }

bool rpHasExportProgressHost() { return static_cast<bool>(ProgressHost()); }

bool rpRunExportWithProgress(const TrpExportWork& work, const AnsiString& caption) {
  if (ProgressHost()) return ProgressHost()(caption.empty() ? rpLocalString(55203) : caption, work);
  return work({});
}

bool TrpReport::ExportTo(TrpExportFilter& filter, const AnsiString& fileName) {
  // An attached preview is disconnected while no prepared pages are exported, and
  // connected again afterwards.
  struct Detach {
    bool& flag;
    bool was;
    Detach(bool& f, bool detach) : flag(f), was(f) { flag = flag || detach; }
    ~Detach() { flag = was; }
  } detach(previewDetached_, EMFPages.GetCount() == 0);
  if (ShowProgress && !OnProgress && rpHasExportProgressHost())
    return rpRunExportWithProgress(
        [&](const TrpExportProgress& progress) { return rpExportReport(*this, filter, fileName, progress); },
        ProgressCaption());
  // Otherwise the pages go under the report's own progress (OnProgress, or its progress
  // window like a build's), which counts them "n из N".
  struct Exporting {
    bool& flag;
    explicit Exporting(bool& f) : flag(f) { flag = true; }
    ~Exporting() { flag = false; }
  } exporting(exporting_);
  Terminated = false;
  bool done = false;
  const bool ran = RunWithProgress(rpLocalString(55205), [&] {
    done = rpExportReport(*this, filter, fileName, [this](int page, int) {
      if (page > 0) UpdateProgress(page);
      return !Terminated;
    });
  });
  return ran && done;
}

double rpExportScale(const AnsiString& text) {
  AnsiString t = text;
  std::replace(t.begin(), t.end(), ',', '.');
  double v = 0;
  if (!TryStrToFloat(Trim(t), v) || !std::isfinite(v) || v <= 0) return 1.0;
  return v;
}

// ---------------------------------------------------------------------------------------
// Text grid

TrpTextExport::TrpTextExport(bool offerPlainText) {
  if (offerPlainText) RegisterAs("TrpTextExport", 55212, "*.txt");
}

int TrpTextExport::ShowOptionsDialog() { return rpRunExportOptionsDialog(*this); }

void TrpTextExport::BeginPage() { Lines.assign(201, {}); }

int TrpTextExport::LineOf(int y) const { return RoundInt(y / (14.0 / SafeScale(ScaleY))); }

void TrpTextExport::FileItem(int line, TrpTextItem item) {
  // Lines beyond the usual 201 make the grid taller; lines above the page are dropped.
  if (line < 0 || line > 100000) return;
  if (static_cast<std::size_t>(line) >= Lines.size()) Lines.resize(static_cast<std::size_t>(line) + 1);
  auto& slot = Lines[static_cast<std::size_t>(line)];
  auto at = std::find_if(slot.begin(), slot.end(), [&](const TrpTextItem& i) { return i.X >= item.X; });
  slot.insert(at, std::move(item));
}

int TrpTextExport::LastLine() const {
  for (int i = static_cast<int>(Lines.size()) - 1; i >= 0; --i)
    if (!Lines[static_cast<std::size_t>(i)].empty()) return i;
  return -1;
}

std::map<int, int> TrpTextExport::EdgeColumns(std::vector<int> edges, double columnWidth) {
  std::sort(edges.begin(), edges.end());
  std::map<int, int> columns;
  int start = 0, c = -1;
  for (std::size_t i = 0; i < edges.size(); ++i) {
    if (i == 0 || edges[i] - start > 2) {
      start = edges[i];
      c = std::max(c + 1, std::max(0, RoundInt(start / columnWidth)));
    }
    columns[edges[i]] = c;
  }
  return columns;
}

void TrpTextExport::AddText(const TRect& frame, int x, int y, const AnsiString& text, int frameTyp, TrpView& view) {
  TrpTextItem item;
  item.X = x;
  item.Text = text;
  item.FrameRect = frame;
  item.FrameTyp = frameTyp < 0 ? 0 : frameTyp & 15;  // a text is never a picture item
  item.FillColor = view.FillColor;
  if (auto* memo = dynamic_cast<TrpMemoView*>(&view)) {
    item.FontName = memo->Font.Name.substr(0, 32);
    item.FontSize = memo->Font.Size;
    item.FontStyle = rpFontStyleToBits(memo->Font.Style);  // the items keep the stored bits
    item.FontColor = memo->Font.Color;
    item.Charset = memo->Font.Charset;
    item.Alignment = memo->Alignment;
  }
  FileItem(LineOf(y), std::move(item));
}

namespace {

// Frame codes: direction bits 1 up, 2 right, 4 down, 8 left, kept in the line as the
// characters 1..15 while a page is assembled.
bool IsFrameCode(char c) { return c >= 1 && c <= 15; }

void PutFrame(std::string& line, int col, int bits) {
  if (col < 0) return;
  if (static_cast<int>(line.size()) <= col) line.resize(static_cast<std::size_t>(col) + 1, ' ');
  char& c = line[static_cast<std::size_t>(col)];
  if (c == ' ') c = static_cast<char>(bits);
  else if (IsFrameCode(c)) c = static_cast<char>(c | bits);
}

bool OnlyFrames(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || IsFrameCode(c); });
}

char FrameChar(char code, bool pseudo) {
  static const char codes[] = {5, 10, 6, 12, 3, 9, 11, 7, 14, 13, 15};
  static const unsigned char box[] = {0xB3, 0xC4, 0xDA, 0xBF, 0xC0, 0xD9, 0xC1, 0xC3, 0xC2, 0xB4, 0xC5};
  if (!pseudo) {
    if (code == 5 || code == 1 || code == 4) return '|';
    if (code == 10 || code == 2 || code == 8) return '-';
    return '+';
  }
  for (int i = 0; i < 11; ++i)
    if (codes[i] == code) return static_cast<char>(box[i]);
  return static_cast<char>(code == 1 || code == 4 ? 0xB3 : 0xC4);
}

}  // namespace

void TrpTextExport::EndPage() {
  const double cw = 6.5 / SafeScale(ScaleX);
  std::vector<std::string> out;
  std::vector<bool> pageBreak;
  auto col = [&](int x) { return RoundInt(x / cw); };
  const int last = LastLine();
  // The boxes of the page: a box is drawn once around all the lines of its text, and
  // boxes that end (or start) at one height end (or start) on one line, so that a cell
  // wrapping onto more lines than its neighbours makes them as tall as itself.
  struct Box {
    int first = -1, lastLine = -1;  // the lines of its texts
    int top = -1, bottom = -1;      // the lines it is drawn around
    int frameTyp = 0;
    int l = 0, r = 0;  // columns of its left and right edges
  };
  auto key = [](const TRect& f) { return std::array<int, 4>{f.Left, f.Top, f.Right, f.Bottom}; };
  std::map<std::array<int, 4>, Box> boxes;
  // Frame edges: the edges of neighbouring boxes lie a pixel or two apart and share one
  // column, so that their common border is drawn once.
  std::vector<int> edges;
  if (ExportFrames) {
    for (int s = 0; s <= last; ++s)
      for (const auto& it : Lines[static_cast<std::size_t>(s)])
        if (it.FrameTyp > 0) {
          edges.push_back(it.FrameRect.Left);
          edges.push_back(std::max(it.FrameRect.Left, it.FrameRect.Right));
          Box& b = boxes[key(it.FrameRect)];
          if (b.first < 0) b.first = s;
          b.lastLine = s;
          b.frameTyp |= it.FrameTyp;
        }
  }
  std::map<int, int> edgeCol = EdgeColumns(std::move(edges), cw);
  // Heights at most 2 pixels apart are one height (as edges are one column).
  auto alignEnds = [&](int side, bool earliest) {
    std::vector<std::pair<int, Box*>> ends;
    for (auto& [k, b] : boxes) ends.emplace_back(k[static_cast<std::size_t>(side)], &b);
    std::sort(ends.begin(), ends.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < ends.size();) {
      std::size_t j = i;
      int line = earliest ? ends[i].second->first : ends[i].second->lastLine;
      for (; j < ends.size() && ends[j].first - ends[i].first <= 2; ++j)
        line = earliest ? std::min(line, ends[j].second->first) : std::max(line, ends[j].second->lastLine);
      for (; i < j; ++i) (earliest ? ends[i].second->top : ends[i].second->bottom) = line;
    }
  };
  alignEnds(1, true);
  alignEnds(3, false);
  for (auto& [k, b] : boxes) {
    b.l = edgeCol[k[0]];
    b.r = std::max(b.l, edgeCol[std::max(k[0], k[2])]);
  }
  for (int s = 0; s <= last; ++s) {
    const auto& slot = Lines[static_cast<std::size_t>(s)];
    if (slot.empty()) {
      if (!KillEmptyLines) out.emplace_back();
      continue;
    }
    const bool anyTop = std::any_of(boxes.begin(), boxes.end(), [&](const auto& kb) {
      return kb.second.top == s && (kb.second.frameTyp & rpTextFrameTop);
    });
    int topIdx = -1;
    if (anyTop) {
      if (out.empty() || !OnlyFrames(out.back())) out.emplace_back();
      topIdx = static_cast<int>(out.size()) - 1;
    }
    const std::size_t cur = out.size();
    std::string text, frames;
    int end = 0;
    for (const auto& it : slot) {
      const bool framed = ExportFrames && it.FrameTyp > 0;
      const Box* box = framed ? &boxes[key(it.FrameRect)] : nullptr;
      int c = std::max(0, col(it.X));
      if (box != nullptr) {
        // The text stays between its box's bars: right of the left one, and left of the
        // right one as far as it fits (right-aligned text ends next to it).
        const int first = (it.FrameTyp & rpTextFrameLeft) ? box->l + 1 : box->l;
        const int len = static_cast<int>(it.Text.size());
        const int stop = (it.FrameTyp & rpTextFrameRight) ? box->r : box->r + 1;
        if ((it.Alignment & 3) == rpalRight && !(it.Alignment & rpalRotated)) c = stop - len;
        else if (c + len > stop) c = stop - len;
        c = std::max(c, first);
      }
      if (c > end) text.append(static_cast<std::size_t>(c - end), ' ');
      text += it.Text;
      end = static_cast<int>(text.size());
    }
    for (const auto& [k, b] : boxes) {
      if (s < b.top || s > b.bottom) continue;
      const int l = b.l, r = b.r;
      if (s == b.top && (b.frameTyp & rpTextFrameTop)) {
        std::string& line = out[static_cast<std::size_t>(topIdx)];
        for (int x = l; x <= r; ++x) {
          int bits = 2 | 8;
          if (x == l && (b.frameTyp & rpTextFrameLeft)) bits = 2 | 4;
          else if (x == r && (b.frameTyp & rpTextFrameRight)) bits = 8 | 4;
          if (x == l && x == r) bits = 4;
          PutFrame(line, x, bits);
        }
      }
      if (s == b.bottom && (b.frameTyp & rpTextFrameBottom)) {
        while (out.size() < cur + 2) out.emplace_back();
        std::string& line = out[cur + 1];
        for (int x = l; x <= r; ++x) {
          int bits = 2 | 8;
          if (x == l && (b.frameTyp & rpTextFrameLeft)) bits = 2 | 1;
          else if (x == r && (b.frameTyp & rpTextFrameRight)) bits = 8 | 1;
          if (x == l && x == r) bits = 1;
          PutFrame(line, x, bits);
        }
      }
      if (b.frameTyp & rpTextFrameLeft) PutFrame(frames, l, 1 | 4);
      if (b.frameTyp & rpTextFrameRight) PutFrame(frames, r, 1 | 4);
    }
    // The text goes over the frame codes of its own line where it has characters.
    for (std::size_t k = 0; k < frames.size(); ++k) {
      if (k >= text.size()) text.resize(k + 1, ' ');
      if (text[k] == ' ' && frames[k] != ' ') text[k] = frames[k];
    }
    if (out.size() <= cur) out.push_back(text);
    else {
      std::string& line = out[cur];
      if (line.size() < text.size()) line.resize(text.size(), ' ');
      for (std::size_t k = 0; k < text.size(); ++k)
        if (line[k] == ' ') line[k] = text[k];
    }
  }
  pageBreak.assign(out.size(), false);
  if (PageBreaks) {
    out.emplace_back("\f");
    pageBreak.push_back(true);
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::string line = out[i];
    if (!pageBreak[i]) {
      if (ConvertToOEM) line = cp::AnsiToOem(line);
      for (char& c : line)
        if (IsFrameCode(c)) c = FrameChar(c, UsePseudographic);
    }
    WriteText(line);
    WriteText(kCrLf);
  }
  ClearLines();
}

// ---------------------------------------------------------------------------------------
// HTML

TrpHTMExport::TrpHTMExport() : TrpTextExport(false) { RegisterAs("TrpHTMExport", 55220, "*.htm"); }

void TrpHTMExport::BeginDocument() {
  WriteText("<HTML>\r\n<META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n");
  WriteText("<Body bgColor=\"#FFFFFF\">\r\n<Table>\r\n");
  counter_ = 0;
}

void TrpHTMExport::EndDocument() { WriteText("</Table>\r\n</Body>\r\n</HTML>\r\n"); }

void TrpHTMExport::AddObject(int x, int y, TrpView& view) {
  if (!ExportPictures) return;
  auto* pic = dynamic_cast<TrpPictureView*>(&view);
  if (!pic || pic->Picture.Empty()) return;
  std::string bmp;
  if (!pic->Picture.Image.Empty()) bmp = rpEncodeBmp(pic->Picture.Image);
  if (bmp.empty()) return;
  pictures_.push_back({x, y, view.Width, view.Height, std::move(bmp)});
}

AnsiString TrpHTMExport::CellText(const TrpTextItem& item) {
  AnsiString attrs;
  const TColor c = item.FontColor;
  if (c != clWhite && c != rpNoColor && c != clBlack && (ColorToRGB(c) & 0xFFFFFF) != 0xFFFFFF &&
      (ColorToRGB(c) & 0xFFFFFF) != 0)
    attrs += " Color=\"#" + HexColor(ColorToRGB(c)) + "\"";
  const int sz = item.FontSize;
  if (sz < 10 || sz > 13) {
    const char* code = sz <= 7 ? "1" : sz <= 9 ? "2" : sz <= 17 ? "4" : sz <= 23 ? "5" : sz <= 35 ? "6" : "7";
    attrs += AnsiString(" Size=") + code;
  }
  AnsiString s = "<td>";
  if (!attrs.empty()) s += "<Font" + attrs + ">";
  if (item.FontStyle & 1) s += "<i>";
  if (item.FontStyle & 2) s += "<b>";
  if (item.FontStyle & 4) s += "<u>";
  for (char ch : item.Text) {
    switch (ch) {
      case '<': s += "&lt;"; break;
      case '>': s += "&gt;"; break;
      case '&': s += "&amp;"; break;
      case '"': s += "&quot;"; break;
      default: s += ch;
    }
  }
  // Every tag opened for the cell is closed in it, innermost first.
  if (item.FontStyle & 4) s += "</u>";
  if (item.FontStyle & 2) s += "</b>";
  if (item.FontStyle & 1) s += "</i>";
  if (!attrs.empty()) s += "</Font>";
  return s + "</td>";
}

namespace {

// Writes a picture beside the exported file under the first free name "htm<N>.bmp" with
// N after `counter`: a name something already holds (a file, a link, a folder) is passed
// over, never replaced and never followed. The name used; EFCreateError / EWriteError.
AnsiString WriteHtmlPicture(const AnsiString& dir, int& counter, const std::string& bytes) {
  for (;;) {
    if (counter >= 1000000) throw EFCreateError("Cannot create file \"" + dir + "htm*.bmp\". Too many files", EEXIST);
    const AnsiString name = "htm" + std::to_string(++counter) + ".bmp";
    const std::string path = SysPath(dir + name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      const int err = errno;
      throw EFCreateError("Cannot create file \"" + dir + name + "\". " + std::strerror(err), err);
    }
    std::size_t done = 0;
    int err = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        err = n < 0 ? errno : EIO;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (err) {
      ::unlink(path.c_str());  // ours: made above with O_EXCL
      throw EWriteError("Cannot write file \"" + dir + name + "\". " + std::strerror(err), err);
    }
    return name;
  }
}

}  // namespace

void TrpHTMExport::EndPage() {
  const AnsiString dir = ExtractFilePath(FileName);
  for (auto& p : pictures_) {
    const AnsiString name = WriteHtmlPicture(dir, counter_, p.Bmp);
    TrpTextItem item;
    item.X = p.X;
    item.Text = name;
    item.FrameTyp = rpTextPictureItem;
    item.Width = p.W;
    item.Height = p.H;
    FileItem(LineOf(p.Y), std::move(item));
  }
  pictures_.clear();
  const int last = LastLine();
  for (int s = 0; s <= last; ++s) {
    const auto& slot = Lines[static_cast<std::size_t>(s)];
    if (slot.empty() && KillEmptyLines) continue;
    AnsiString line = "<tr>";
    for (const auto& it : slot) {
      if (it.FrameTyp == rpTextPictureItem)
        line += "<td><img src=\"" + it.Text + "\" width=\"" + std::to_string(it.Width) + "\" height=\"" +
                std::to_string(it.Height) + "\"></td>";
      else
        line += CellText(it);
    }
    WriteText(line + "</tr>\r\n");
  }
  ClearLines();
}

// ---------------------------------------------------------------------------------------
// CSV

TrpCSVExport::TrpCSVExport() : TrpTextExport(false) { RegisterAs("TrpCSVExport", 55219, "*.csv"); }

AnsiString TrpCSVExport::Field(const AnsiString& text) const {
  if (text.find_first_of(AnsiString(1, Delimiter) + "\"\r\n") == AnsiString::npos) return text;
  AnsiString s = "\"";
  for (char c : text) {
    if (c == '"') s += '"';
    s += c;
  }
  return s + "\"";
}

void TrpCSVExport::EndPage() {
  const double cw = 64.0 / SafeScale(ScaleX);
  const int last = LastLine();
  // A boxed piece stands in the field of its box, whatever its alignment inside it, so
  // that a right-aligned value shares the field of its centred header. The boxes of the
  // page get distinct fields in their order (boxes narrower than a field too), the
  // same on every line, whichever cells of a line are empty.
  const auto boxed = [](const TrpTextItem& it) { return it.FrameRect.Right > it.FrameRect.Left; };
  std::vector<int> lefts;
  for (const auto& slot : Lines)
    for (const auto& it : slot)
      if (it.FrameTyp != rpTextPictureItem && boxed(it)) lefts.push_back(it.FrameRect.Left);
  std::map<int, int> boxCol = EdgeColumns(std::move(lefts), cw);
  for (int s = 0; s <= last; ++s) {
    const auto& slot = Lines[static_cast<std::size_t>(s)];
    AnsiString line;
    int prev = 0;
    bool first = true;
    for (const auto& it : slot) {
      if (it.FrameTyp == rpTextPictureItem) continue;
      int c = boxed(it) ? boxCol[it.FrameRect.Left] : std::max(0, RoundInt(it.X / cw));
      // Two items in one column still get a field each.
      if (!first && c <= prev) c = prev + 1;
      line.append(static_cast<std::size_t>(c - prev), Delimiter);
      line += Field(it.Text);
      prev = c;
      first = false;
    }
    if (line.empty() && KillEmptyLines) continue;
    if (ConvertToOEM) line = cp::AnsiToOem(line);
    WriteText(line + "\r\n");
  }
  ClearLines();
}

// ---------------------------------------------------------------------------------------
// RTF

TrpRTFExport::TrpRTFExport() : TrpTextExport(false) {
  ScaleX = 1.3;
  RegisterAs("TrpRTFExport", 55218, "*.rtf");
}

namespace {
int PixelsToTwips(int px) { return RoundInt(px * 1440.0 / rpPixelsPerInch); }
}  // namespace

TrpRtfPageGeometry rpRtfPageGeometry(const TrpPreparedPage* page) {
  TrpRtfPageGeometry g;
  if (!page) return g;
  const TrpPageInfo& info = page->PageInfo;
  if (info.PhysWidth > 0 && info.PhysHeight > 0) {
    g.PaperWidth = PixelsToTwips(info.PhysWidth);
    g.PaperHeight = PixelsToTwips(info.PhysHeight);
  } else if (page->Width > 0 && page->Height > 0) {
    g.PaperWidth = RoundInt(page->Width * 1440.0 / 254);
    g.PaperHeight = RoundInt(page->Height * 1440.0 / 254);
    if ((page->Orientation == rpLandscape) != (g.PaperWidth > g.PaperHeight)) std::swap(g.PaperWidth, g.PaperHeight);
  } else {
    return g;
  }
  g.Left = PixelsToTwips(std::max(0, page->LeftMargin));
  g.Top = PixelsToTwips(std::max(0, page->TopMargin));
  g.Right = PixelsToTwips(std::max(0, page->RightMargin));
  g.Bottom = PixelsToTwips(std::max(0, page->BottomMargin));
  // Margins that leave no room for text are not the page's real ones.
  if (g.TextWidth() < g.PaperWidth / 4 || g.PaperHeight - g.Top - g.Bottom < g.PaperHeight / 4)
    g.Left = g.Top = g.Right = g.Bottom = std::min(600, std::min(g.PaperWidth, g.PaperHeight) / 8);
  g.Landscape = g.PaperWidth > g.PaperHeight;
  return g;
}

AnsiString TrpRTFExport::SectionCodes(const TrpRtfPageGeometry& g) {
  return "\\pgwsxn" + std::to_string(g.PaperWidth) + "\\pghsxn" + std::to_string(g.PaperHeight) + "\\marglsxn" +
         std::to_string(g.Left) + "\\margrsxn" + std::to_string(g.Right) + "\\margtsxn" + std::to_string(g.Top) +
         "\\margbsxn" + std::to_string(g.Bottom) + (g.Landscape ? "\\lndscpsxn" : "");
}

void TrpRTFExport::BeginDocument() {
  fonts_.clear();
  colors_.clear();
  pictures_.clear();
  body_.clear();
  pageCount_ = 0;
}

void TrpRTFExport::BeginPage() {
  TrpTextExport::BeginPage();
  pictures_.clear();
  page_ = rpRtfPageGeometry(CurrentPage);
  origin_ = CurrentPage ? std::max(0, CurrentPage->LeftMargin) : 0;
}

void TrpRTFExport::AddObject(int x, int y, TrpView& view) {
  auto* pic = dynamic_cast<TrpPictureView*>(&view);
  if (!pic || pic->Picture.Empty() || pic->Picture.Image.Empty()) return;
  pictures_.push_back({x, y, view.Width, view.Height, pic->Picture.Image});
}

AnsiString TrpRTFExport::Escape(const AnsiString& text) {
  AnsiString s;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '\\' || ch == '{' || ch == '}') {
      s += '\\';
      s += ch;
    } else if (c >= 0x80 || c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\'%02x", c);
      s += buf;
    } else {
      s += ch;
    }
  }
  return s;
}

int TrpRTFExport::FontIndex(const AnsiString& name, int charset) {
  for (std::size_t i = 0; i < fonts_.size(); ++i)
    if (fonts_[i].Name == name && fonts_[i].Charset == charset) return static_cast<int>(i);
  fonts_.push_back({name, charset});
  return static_cast<int>(fonts_.size()) - 1;
}

int TrpRTFExport::ColorIndex(TColor color) {
  const TColor c = PlainColor(color) == 0xFFFFFF ? 0 : PlainColor(color);
  for (std::size_t i = 0; i < colors_.size(); ++i)
    if (colors_[i] == c) return static_cast<int>(i) + 1;
  colors_.push_back(c);
  return static_cast<int>(colors_.size());
}

int TrpRTFExport::Twips(int x) const {
  return RoundInt(std::max(0, x - origin_) / (1.3 / SafeScale(ScaleX)) * 20 * fit_);
}

AnsiString TrpRTFExport::Codes(const TrpTextItem& item, const TrpTextItem* prev) {
  AnsiString s;
  const AnsiString fontName = item.FontName.empty() ? AnsiString("Arial") : item.FontName;
  const int f = FontIndex(fontName, item.Charset);
  if (!prev || prev->FontName != item.FontName || prev->Charset != item.Charset) s += "\\f" + std::to_string(f);
  if (!prev || prev->FontSize != item.FontSize) s += "\\fs" + std::to_string(std::max(1, item.FontSize) * 2);
  static const char* on[] = {"\\i", "\\b", "\\ul", "\\strike"};
  static const char* off[] = {"\\i0", "\\b0", "\\ulnone", "\\strike0"};
  for (int b = 0; b < 4; ++b) {
    const bool now = item.FontStyle & (1 << b);
    const bool was = prev && (prev->FontStyle & (1 << b));
    if (now != was) s += now ? on[b] : off[b];
  }
  const int c = ColorIndex(item.FontColor);
  if (!prev || ColorIndex(prev->FontColor) != c) s += "\\cf" + std::to_string(c);
  return s;
}

namespace {

void Put16(std::string& s, int v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, static_cast<int>(v & 0xFFFF));
  Put16(s, static_cast<int>(v >> 16));
}

// A Windows metafile that stretches the bitmap into (0, 0, w, h), without its end record.
std::string BitmapMetafile(const TBitmap& image, int w, int h) {
  const std::string bmp = rpEncodeBmp(image);
  const std::string dib = bmp.size() > 14 ? bmp.substr(14) : std::string();
  std::string rec;
  auto record = [&](int func, const std::string& params) {
    Put32(rec, static_cast<std::uint32_t>(3 + params.size() / 2));
    Put16(rec, func);
    rec += params;
  };
  std::string p;
  Put16(p, 0), Put16(p, 0), record(0x020B, p), p.clear();
  Put16(p, h), Put16(p, w), record(0x020C, p), p.clear();
  Put32(p, 0), record(0x0209, p), p.clear();
  Put32(p, 0xFFFFFF), record(0x0201, p), p.clear();
  Put16(p, 3), record(0x0107, p), p.clear();
  Put32(p, 0x00CC0020), Put16(p, 0);
  Put16(p, image.Height()), Put16(p, image.Width()), Put16(p, 0), Put16(p, 0);
  Put16(p, h), Put16(p, w), Put16(p, 0), Put16(p, 0);
  p += dib;
  if (p.size() % 2) p += '\0';
  record(0x0F43, p);
  const std::uint32_t maxRecord = static_cast<std::uint32_t>(3 + p.size() / 2);
  std::string head;
  Put16(head, 1), Put16(head, 9), Put16(head, 0x0300);
  Put32(head, static_cast<std::uint32_t>((18 + rec.size() + 6) / 2));
  Put16(head, 0), Put32(head, maxRecord), Put16(head, 0);
  return head + rec;
}

}  // namespace

void TrpRTFExport::PictureBox(const TrpTextItem& item, int& left, int& width, int& height) const {
  const Picture& p = pictures_[static_cast<std::size_t>(item.Picture)];
  const int w = std::max(1, p.W), h = std::max(1, p.H);
  const double full = w / (1.3 / SafeScale(ScaleX)) * 20 * fit_;
  const double goalW = std::clamp(full, 1.0, static_cast<double>(page_.TextWidth()));
  width = RoundInt(goalW);
  height = std::max(1, RoundInt(goalW * h / w));
  left = std::clamp(Twips(p.X), 0, std::max(0, page_.TextWidth() - width));
}

AnsiString TrpRTFExport::LineCodes() const {
  return "\\sl-" + std::to_string(lineHeight_) + "\\slmult0\\sa0\\sb0";
}

void TrpRTFExport::WritePicture(const TrpTextItem& item) {
  const Picture& p = pictures_[static_cast<std::size_t>(item.Picture)];
  // In the text flow, in a paragraph of its own: the picture takes room instead of
  // covering the text, and it stays inside the text width.
  const int width = std::max(1, p.W), height = std::max(1, p.H);
  int left = 0, goalW = 0, goalH = 0;
  PictureBox(item, left, goalW, goalH);
  body_ += "\\pard\\li" + std::to_string(left) + "\\sb0\\sa" + std::to_string(kPictureGap) + "{\\pict\\wmetafile8\\picw" + std::to_string(RoundInt(width * 26.46875)) +
           "\\pich" + std::to_string(RoundInt(height * 26.46875)) + "\\picwgoal" + std::to_string(goalW) +
           "\\pichgoal" + std::to_string(goalH) + " \\picbmp\\picbpp4\r\n";
  const std::string wmf = BitmapMetafile(p.Image, width, height);
  static const char hex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < wmf.size(); ++i) {
    const auto b = static_cast<unsigned char>(wmf[i]);
    body_ += hex[b >> 4];
    body_ += hex[b & 15];
    if (i % 64 == 63) body_ += "\r\n";
  }
  body_ += "030000000000}\\par\r\n";
}

void TrpRTFExport::EndPage() {
  if (pageCount_++ == 0) {
    firstPage_ = page_;
  } else if (!(page_ == prevPage_) || PageBreaks) {
    // Another paper or margins begin a section of their own, on a new page.
    const AnsiString pageBreak =
        page_ == prevPage_ ? AnsiString("\\page") : "\\sect\\sectd\\sbkpage" + SectionCodes(page_);
    // After a table the break goes in a paragraph of its own, one point high: one that
    // follows the last row directly is dropped by word processors.
    body_ += ConvertToTable ? "\\pard\\plain\\sl-20\\slmult0\\fs2" + pageBreak + "\\par\r\n" : pageBreak + "\r\n";
  }
  prevPage_ = page_;
  if (ExportBitmaps)
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
      TrpTextItem item;
      item.X = pictures_[i].X;
      item.FrameTyp = rpTextPictureItem;
      item.Picture = static_cast<int>(i);
      FileItem(LineOf(pictures_[i].Y), std::move(item));
    }
  // The page's content, from the left margin to its right-most edge, is shrunk to the
  // text width when the filter's scale makes it wider.
  fit_ = 1.0;
  int right = CurrentPage ? CurrentPage->PageInfo.PhysWidth - std::max(0, CurrentPage->RightMargin) : 0;
  for (const auto& slot : Lines)
    for (const auto& it : slot) {
      right = std::max(right, it.X);
      if (it.Picture >= 0) right = std::max(right, it.X + pictures_[static_cast<std::size_t>(it.Picture)].W);
      else if (it.FrameRect.Right > it.FrameRect.Left) right = std::max(right, it.FrameRect.Right);
    }
  const int extent = Twips(right);
  if (extent > page_.TextWidth()) fit_ = static_cast<double>(page_.TextWidth()) / extent;

  // Each line gets an exact height: a line of the grid, or what its largest font needs,
  // but never more than the report gives it (up to its next line); all of them shrink
  // when the page's lines and pictures would not fit its text height otherwise (the last
  // line's height is kept once more for the paragraph that closes the document). So a
  // report page stays one page in the word processor.
  const int last = LastLine();
  const int grid = std::max(1, RoundInt(14 / SafeScale(ScaleY) * 1440.0 / rpPixelsPerInch));
  std::vector<int> rows;
  int pictureHeight = 0;
  for (int s = 0; s <= last; ++s) {
    bool text = false;
    for (const auto& it : Lines[static_cast<std::size_t>(s)]) {
      if (it.FrameTyp != rpTextPictureItem) text = true;
      else if (it.Picture >= 0) {
        int left = 0, w = 0, h = 0;
        PictureBox(it, left, w, h);
        pictureHeight += h + kPictureGap;
      }
    }
    if (text || !KillEmptyLines) rows.push_back(s);
  }
  lineHeights_.assign(static_cast<std::size_t>(last) + 1, grid);
  int total = grid;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    int need = grid;
    for (const auto& it : Lines[static_cast<std::size_t>(rows[i])])
      if (it.FrameTyp != rpTextPictureItem) need = std::max(need, std::max(1, it.FontSize) * 24);
    const int gap = i + 1 < rows.size() ? rows[i + 1] - rows[i] : 1;
    total += lineHeights_[static_cast<std::size_t>(rows[i])] = std::min(need, gap * grid);
  }
  const int room = page_.TextHeight() - pictureHeight - 20;
  if (total > room && total > 0)
    for (int& h : lineHeights_) h = std::max(1, static_cast<int>(static_cast<long long>(h) * std::max(1, room) / total));
  for (int s = 0; s <= last; ++s) {
    lineHeight_ = lineHeights_[static_cast<std::size_t>(s)];
    const auto& slot = Lines[static_cast<std::size_t>(s)];
    std::vector<const TrpTextItem*> items;
    for (const auto& it : slot) {
      if (it.FrameTyp != rpTextPictureItem) items.push_back(&it);
      else if (it.Picture >= 0) WritePicture(it);
    }
    if (items.empty()) {
      if (!KillEmptyLines) body_ += "{\\pard" + LineCodes() + " \\par}\r\n";
      continue;
    }
    if (!ConvertToTable) {
      // A tab stop per item, left-aligned at its text, or at the right edge (centre) of
      // its box for right-aligned (centred) text, so that the text keeps inside it
      // whatever the reader's fonts are. Stops ascend and stay within the text width.
      AnsiString stops = "\\pard" + LineCodes(), text = "{";
      int at = 0;
      const TrpTextItem* prev = nullptr;
      for (const auto* it : items) {
        const bool boxed = it->FrameRect.Right > it->FrameRect.Left;
        const int h = it->Alignment & 3;
        AnsiString kind;
        int pos = Twips(it->X);
        if (boxed && h == rpalRight && !(it->Alignment & rpalRotated)) {
          kind = "\\tqr";
          pos = Twips(it->FrameRect.Right - 2);
        } else if (boxed && h == rpalCenter && !(it->Alignment & rpalRotated)) {
          kind = "\\tqc";
          pos = Twips((it->FrameRect.Left + it->FrameRect.Right) / 2);
        }
        pos = std::min(std::max(pos, prev ? at + 1 : 0), page_.TextWidth());
        // The first piece at the margin needs no tab: a tab there would go on to the next stop.
        const bool tab = prev || pos > 0 || !kind.empty();
        if (tab) {
          stops += kind + "\\tx" + std::to_string(pos);
          text += "\\tab";
        }
        text += Codes(*it, prev) + " " + Escape(it->Text);
        at = pos;
        prev = it;
      }
      body_ += stops + text + "\\par}\r\n";
    } else {
      AnsiString line = "\\trowd \\trgaph108\\trrh-" + std::to_string(lineHeight_);
      for (std::size_t i = 1; i < items.size(); ++i) line += "\\cellx" + std::to_string(Twips(items[i]->X));
      const TrpTextItem& lastItem = *items.back();
      const int rightEdge = std::max(lastItem.FrameRect.Right, lastItem.X + 1);
      line += "\\cellx" + std::to_string(Twips(rightEdge)) + " \\trleft" + std::to_string(Twips(items.front()->X));
      line += " \\pard \\intbl" + LineCodes() + " ";
      for (const auto* it : items) line += "{" + Codes(*it, nullptr) + " " + Escape(it->Text) + "}\\cell ";
      body_ += line + "\\pard \\intbl \\row\r\n";
    }
  }
  if (ConvertToTable) body_ += "\\pard\r\n";
  pictures_.clear();
  ClearLines();
}

void TrpRTFExport::EndDocument() {
  body_ += "\\par}";
  WriteText("{\\rtf1\\ansi\\ansicpg1251\r\n");
  auto table = [&](AnsiString head, const std::vector<AnsiString>& entries) {
    AnsiString s = head;
    std::size_t lineLen = s.size();
    for (const auto& e : entries) {
      if (lineLen + e.size() > 254) {
        s += kCrLf;
        lineLen = 0;
      }
      s += e;
      lineLen += e.size();
    }
    WriteText(s + "}" + kCrLf);
  };
  std::vector<AnsiString> f, c;
  for (std::size_t i = 0; i < fonts_.size(); ++i)
    f.push_back("{\\f" + std::to_string(i) + "\\fcharset" + std::to_string(fonts_[i].Charset) + " " +
                Escape(fonts_[i].Name) + ";}");
  for (TColor col : colors_)
    c.push_back("\\red" + std::to_string(GetRValue(col)) + "\\green" + std::to_string(GetGValue(col)) + "\\blue" +
                std::to_string(GetBValue(col)) + ";");
  table("{\\fonttbl", f);
  table("{\\colortbl;", c);
  // The paper and margins of the first page; later pages of another paper open a
  // section of their own.
  const TrpRtfPageGeometry& g = pageCount_ ? firstPage_ : TrpRtfPageGeometry{};
  WriteText("\\paperw" + std::to_string(g.PaperWidth) + "\\paperh" + std::to_string(g.PaperHeight) + "\\margl" +
            std::to_string(g.Left) + "\\margr" + std::to_string(g.Right) + "\\margt" + std::to_string(g.Top) +
            "\\margb" + std::to_string(g.Bottom) + (g.Landscape ? "\\landscape" : "") + "\r\n\\sectd" +
            SectionCodes(g) + "\r\n");
  WriteText(body_);
}
