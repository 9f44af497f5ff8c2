// The program's help, shown by its own help window (there are no help files): pages by
// context number, read from "help.txt" beside the program (Help/), written in UTF-8:
//   "@<context> <title>" starts a page; a blank line ends a paragraph; a line "- ..." is
//   a list item; "[[<context>]]" links to another page (shown by its title); "#" lines
//   are comments. Page 0 is the contents: a list of every other page follows its text;
//   page 1 is the index: every page follows its text in the order of the titles.
// The model turns a page into simple HTML (1251 text) that the window displays; links
// are "help:<context>".
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/core/AnsiText.h"

inline constexpr int kHelpContents = 0;
inline constexpr int kHelpIndex = 1;
inline constexpr int kHelpHowToUse = 2;  // how to use the help
inline constexpr int kPreviewHelpContext = 2215;  // the report preview's help button
inline constexpr const char* kHelpDirName = "Help";
inline constexpr const char* kHelpFileName = "help.txt";

class THelpPages {
 public:
  struct TPage {
    int Context = 0;
    AnsiString Title;
    std::vector<AnsiString> Lines;  // the source lines of the body (1251)
  };

  // Reads the pages; false (and no pages) when the file cannot be read.
  bool LoadFromFile(const AnsiString& FileName);
  void LoadFromText(std::string_view utf8);

  const std::vector<TPage>& Pages() const { return pages_; }
  // The page of a context; nil when there is none.
  const TPage* Page(int Context) const;
  // The page as HTML; a context without page gives the contents with a note that the
  // topic is missing.
  AnsiString Html(int Context) const;
  // The context of a "help:<n>" link; -1 for anything else.
  static int LinkContext(std::string_view Href);

 private:
  AnsiString Inline(std::string_view text) const;
  std::vector<TPage> pages_;
};
