#include "planner/app/HelpPages.h"

#include <algorithm>

#include "planner/app/Globals.h"
#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"

namespace {

AnsiString HtmlEscape(std::string_view s) {
  AnsiString out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

bool THelpPages::LoadFromFile(const AnsiString& FileName) {
  pages_.clear();
  TMemoryStream file;
  try {
    file.LoadFromFile(FileName);
  } catch (const std::exception&) {
    return false;
  }
  LoadFromText(file.Bytes());
  return !pages_.empty();
}

void THelpPages::LoadFromText(std::string_view utf8) {
  pages_.clear();
  std::size_t start = 0;
  while (start < utf8.size()) {
    std::size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view line = utf8.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '#') continue;
    if (!line.empty() && line.front() == '@') {
      const std::size_t sp = line.find(' ');
      std::int32_t context = 0;
      if (sp == std::string_view::npos || !TextToInt(line.substr(1, sp - 1), context)) continue;
      pages_.push_back({context, Trim(Ansi(line.substr(sp + 1))), {}});
      continue;
    }
    if (!pages_.empty()) pages_.back().Lines.push_back(TrimRight(Ansi(line)));
  }
}

const THelpPages::TPage* THelpPages::Page(int Context) const {
  for (const TPage& p : pages_)
    if (p.Context == Context) return &p;
  return nullptr;
}

int THelpPages::LinkContext(std::string_view Href) {
  constexpr std::string_view prefix = "help:";
  std::int32_t n = 0;
  if (Href.substr(0, prefix.size()) != prefix || !TextToInt(Href.substr(prefix.size()), n) || n < 0) return -1;
  return n;
}

AnsiString THelpPages::Inline(std::string_view text) const {
  AnsiString out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t open = text.find("[[", i);
    const std::size_t close = open == std::string_view::npos ? open : text.find("]]", open);
    if (close == std::string_view::npos) {
      out += HtmlEscape(text.substr(i));
      break;
    }
    out += HtmlEscape(text.substr(i, open - i));
    const std::string_view target = text.substr(open + 2, close - open - 2);
    std::int32_t n = 0;
    const TPage* page = TextToInt(target, n) ? Page(n) : nullptr;
    if (page != nullptr)
      out += Format("<a href=\"help:%d\">%s</a>", {n, HtmlEscape(page->Title)});
    else
      out += HtmlEscape(text.substr(open, close + 2 - open));
    i = close + 2;
  }
  return out;
}

AnsiString THelpPages::Html(int Context) const {
  const TPage* page = Page(Context);
  AnsiString html = "<html><body>";
  if (page == nullptr) {
    html += Format(Ansi("<p><i>Раздел справки %d не найден.</i></p>"), {Context});
    page = Page(kHelpContents);
    if (page == nullptr) return html + "</body></html>";
  }
  html += "<h2>" + HtmlEscape(page->Title) + "</h2>";
  bool inPara = false, inList = false;
  auto close = [&] {
    if (inPara) html += "</p>";
    if (inList) html += "</ul>";
    inPara = inList = false;
  };
  for (const AnsiString& line : page->Lines) {
    if (line.empty()) {
      close();
    } else if (line.compare(0, 2, "- ") == 0) {
      if (inPara) close();
      if (!inList) html += "<ul>";
      inList = true;
      html += "<li>" + Inline(std::string_view(line).substr(2)) + "</li>";
    } else {
      if (inList) close();
      html += inPara ? " " : "<p>";
      inPara = true;
      html += Inline(line);
    }
  }
  close();
  if (page->Context == kHelpContents || page->Context == kHelpIndex) {
    std::vector<const TPage*> listed;
    for (const TPage& p : pages_)
      if (p.Context != page->Context) listed.push_back(&p);
    if (page->Context == kHelpIndex)
      std::stable_sort(listed.begin(), listed.end(),
                       [](const TPage* a, const TPage* b) { return AnsiUpperCase(a->Title) < AnsiUpperCase(b->Title); });
    html += "<ul>";
    for (const TPage* p : listed)
      html += Format("<li><a href=\"help:%d\">%s</a></li>", {p->Context, HtmlEscape(p->Title)});
    html += "</ul>";
  }
  return html + "</body></html>";
}
