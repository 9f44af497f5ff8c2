// Reads a document as a user's office program shows it: LibreOffice (soffice) converts it
// to PDF, with a profile of its own so that parallel tests do not share one, and the
// poppler tools read the PDF back as text, word boxes or a picture of a page.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace office {

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a shell command; its standard output, and whether it ended with status 0.
inline bool Run(const std::string& command, std::string& output) {
  output.clear();
  std::FILE* p = ::popen(command.c_str(), "r");
  if (!p) return false;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
  return ::pclose(p) == 0;
}

inline bool Available() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// Converts `file` (a system path) into a PDF in `workDir`; the PDF's path, or empty with
// soffice's messages in `log`. Gives up after five minutes.
inline std::string ToPdf(const std::string& file, const std::string& workDir, std::string* log = nullptr) {
  std::string out;
  const std::string command = "timeout 300 soffice -env:UserInstallation=file://" + workDir +
                              "/office-profile --headless --norestore --convert-to pdf --outdir " + Quote(workDir) +
                              " " + Quote(file) + " 2>&1";
  const bool ok = Run(command, out);
  if (log) *log = out;
  const std::size_t slash = file.find_last_of('/');
  std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  base = base.substr(0, base.find_last_of('.'));
  const std::string pdf = workDir + "/" + base + ".pdf";
  if (!ok || std::system(("test -s " + Quote(pdf)).c_str()) != 0) return {};
  return pdf;
}

// The text of a PDF (UTF-8) in reading order, or with -layout, as laid out.
inline std::string PdfText(const std::string& pdf, bool layout = false) {
  std::string out;
  Run("pdftotext " + std::string(layout ? "-layout " : "") + Quote(pdf) + " - 2>/dev/null", out);
  return out;
}

inline int PdfPages(const std::string& pdf) {
  std::string out;
  Run("pdfinfo " + Quote(pdf) + " 2>/dev/null | sed -n 's/^Pages: *//p'", out);
  return std::atoi(out.c_str());
}

struct Word {
  double xMin, yMin, xMax, yMax;  // points
  std::string Text;
};

// The words of page `page` (1-based) with their boxes.
inline std::vector<Word> PdfWords(const std::string& pdf, int page) {
  std::string out;
  const std::string p = std::to_string(page);
  Run("pdftotext -bbox -f " + p + " -l " + p + " " + Quote(pdf) + " - 2>/dev/null", out);
  std::vector<Word> words;
  std::size_t at = 0;
  while ((at = out.find("<word ", at)) != std::string::npos) {
    Word w{};
    const std::size_t end = out.find("</word>", at);
    if (end == std::string::npos) break;
    std::sscanf(out.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &w.xMin, &w.yMin,
                &w.xMax, &w.yMax);
    const std::size_t gt = out.find('>', at);
    w.Text = out.substr(gt + 1, end - gt - 1);
    words.push_back(w);
    at = end;
  }
  return words;
}

// Page `page` of a PDF as RGB pixels at `dpi` (pdftoppm); empty when it failed.
struct Picture {
  int Width = 0, Height = 0;
  std::string Rgb;  // 3 bytes a pixel, rows from the top
  const unsigned char* At(int x, int y) const {
    return reinterpret_cast<const unsigned char*>(Rgb.data()) + (static_cast<std::size_t>(y) * Width + x) * 3;
  }
};

inline Picture PdfPicture(const std::string& pdf, int page, int dpi) {
  std::string out;
  const std::string p = std::to_string(page);
  Picture pic;
  if (!Run("pdftoppm -r " + std::to_string(dpi) + " -f " + p + " -l " + p + " " + Quote(pdf) + " 2>/dev/null", out))
    return pic;
  // P6 <width> <height> <max> then the pixels.
  int w = 0, h = 0, max = 0, used = 0;
  if (std::sscanf(out.c_str(), "P6 %d %d %d%n", &w, &h, &max, &used) != 3 || max != 255) return pic;
  const std::size_t start = static_cast<std::size_t>(used) + 1;
  if (out.size() < start + static_cast<std::size_t>(w) * h * 3) return pic;
  pic.Width = w;
  pic.Height = h;
  pic.Rgb = out.substr(start, static_cast<std::size_t>(w) * h * 3);
  return pic;
}

}  // namespace office
