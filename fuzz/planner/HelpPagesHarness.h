// Feeds arbitrary bytes to the help window's page reader as its file "help.txt" and
// renders what it read as the window would: the contents, the index, a topic that is
// missing and the pages themselves. The HTML must be well formed for the browser (the
// reader's tags only, properly nested, every other "<", ">" and "&" escaped) and every
// link must lead to a page. Shared by the libFuzzer target and the tests that replay what
// it found.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "../FuzzWorkDir.h"
#include "planner/app/HelpPages.h"
#include "platform/core/Files.h"

namespace help_fuzz {

// The text of the first broken promise; empty when every one holds.
using TFault = std::string;

// Checks the HTML of a page: tags of the reader's set, nested, links to pages.
inline TFault CheckHtml(const THelpPages& help, std::string_view html) {
  static const std::set<std::string_view> kTags = {"html", "body", "h2", "p", "i", "ul", "li", "a"};
  std::vector<std::string_view> open;
  for (std::size_t i = 0; i < html.size(); ++i) {
    const char c = html[i];
    if (c == '>' || c == '"') return "an unescaped '>' or '\"' in the text";
    if (c == '&') {
      const std::string_view rest = html.substr(i);
      if (rest.rfind("&amp;", 0) != 0 && rest.rfind("&lt;", 0) != 0 && rest.rfind("&gt;", 0) != 0 &&
          rest.rfind("&quot;", 0) != 0)
        return "an unescaped '&' in the text";
      continue;
    }
    if (c != '<') continue;
    const std::size_t end = html.find('>', i);
    if (end == std::string_view::npos) return "a tag without its end";
    std::string_view tag = html.substr(i + 1, end - i - 1);
    i = end;
    const bool closing = !tag.empty() && tag.front() == '/';
    if (closing) tag.remove_prefix(1);
    const std::size_t blank = tag.find(' ');
    const std::string_view name = tag.substr(0, blank);
    if (!kTags.contains(name)) return "an unknown tag <" + std::string(tag) + ">";
    if (closing) {
      if (blank != std::string_view::npos || open.empty() || open.back() != name)
        return "</" + std::string(name) + "> closes what is not open";
      open.pop_back();
      continue;
    }
    if (name == "a") {
      constexpr std::string_view prefix = " href=\"";
      if (blank == std::string_view::npos || tag.substr(blank, prefix.size()) != prefix || tag.back() != '"')
        return "a link without its address";
      const std::string_view href = tag.substr(blank + prefix.size(), tag.size() - blank - prefix.size() - 1);
      const int context = THelpPages::LinkContext(href);
      if (context >= 0 && help.Page(context) == nullptr) return "a link to a missing page: " + std::string(href);
    } else if (blank != std::string_view::npos) {
      return "attributes on <" + std::string(name) + ">";
    }
    open.push_back(name);
  }
  if (!open.empty()) return "<" + std::string(open.back()) + "> left open";
  return {};
}

inline TFault RunOne(const std::string& dir, std::string_view bytes) {
  const std::string path = dir + "/" + kHelpFileName;
  fuzz_support::WriteWholeFile(path, bytes);
  THelpPages help;
  const bool loaded = help.LoadFromFile(AnsiPath(path));
  if (loaded == help.Pages().empty()) return "the reader's answer does not match its pages";
  std::vector<int> contexts = {kHelpContents, kHelpIndex, -1, 99999};
  // Enough pages to cover every kind of line; rendering each of thousands would only slow
  // the search down.
  for (std::size_t i = 0; i < help.Pages().size() && i < 40; ++i) contexts.push_back(help.Pages()[i].Context);
  for (int context : contexts) {
    const AnsiString html = help.Html(context);
    if (TFault fault = CheckHtml(help, html); !fault.empty()) return fault;
  }
  return {};
}

}  // namespace help_fuzz
