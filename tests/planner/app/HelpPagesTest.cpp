// The help pages: every context the program calls has a page, links resolve, the HTML is
// well formed enough for the help window.
#include <gtest/gtest.h>

#include "planner/app/HelpPages.h"
#include "platform/core/SysUtils.h"

namespace {

THelpPages Shipped() {
  THelpPages help;
  EXPECT_TRUE(help.LoadFromFile(AnsiString(TARNWICK_DATA_DIR) + "/help/help.txt"));
  return help;
}

}  // namespace

TEST(HelpPages, EveryContextOfTheProgramHasAPage) {
  const THelpPages help = Shipped();
  for (int context : {kHelpContents, kHelpIndex, kHelpHowToUse, 2020, 2140, 2150, 2160, 2180, 2190, 2200, 2210, kPreviewHelpContext, 2220, 2230, 2240, 2250, 2260, 2280, 2300}) {
    const THelpPages::TPage* page = help.Page(context);
    ASSERT_NE(page, nullptr) << context;
    EXPECT_FALSE(page->Title.empty()) << context;
    EXPECT_FALSE(page->Lines.empty()) << context;
  }
}

TEST(HelpPages, LinksResolveAndTheContentsListsEveryPage) {
  const THelpPages help = Shipped();
  for (const THelpPages::TPage& p : help.Pages()) {
    const AnsiString html = help.Html(p.Context);
    EXPECT_EQ(html.find("[["), AnsiString::npos) << p.Context;  // every link named a page
    EXPECT_EQ(html.rfind("</body></html>"), html.size() - 14);
  }
  const AnsiString contents = help.Html(kHelpContents);
  for (const THelpPages::TPage& p : help.Pages())
    if (p.Context != kHelpContents) {
      EXPECT_NE(contents.find(Format("href=\"help:%d\"", {p.Context})), AnsiString::npos) << p.Context;
    }
}

TEST(HelpPages, TextFormat) {
  THelpPages help;
  help.LoadFromText("# c\n@0 Top\nsee [[7]] & <b>\n\n- one\n- two\nafter\n@7 Seven\nx [[99]]\n@bad line\n");
  ASSERT_EQ(help.Pages().size(), 2u);
  EXPECT_EQ(help.Html(0),
            "<html><body><h2>Top</h2><p>see <a href=\"help:7\">Seven</a> &amp; &lt;b&gt;</p><ul><li>one</li>"
            "<li>two</li></ul><p>after</p><ul><li><a href=\"help:7\">Seven</a></li></ul></body></html>");
  EXPECT_EQ(help.Html(7), "<html><body><h2>Seven</h2><p>x [[99]]</p></body></html>");
  EXPECT_NE(help.Html(5).find("5"), AnsiString::npos);
  EXPECT_EQ(THelpPages::LinkContext("help:2150"), 2150);
  EXPECT_EQ(THelpPages::LinkContext("http://x"), -1);
  EXPECT_EQ(THelpPages::LinkContext("help:-3"), -1);
  THelpPages none;
  EXPECT_FALSE(none.LoadFromFile("/nonexistent/help.txt"));
}

// The index lists every other page in the order of the titles.
TEST(HelpPages, TheIndexListsThePagesByTitle) {
  THelpPages help;
  help.LoadFromText("@0 Top\nx\n@1 Index\ny\n@7 Beta\nb\n@5 alpha\na\n@9 Gamma\ng\n");
  EXPECT_EQ(help.Html(kHelpIndex),
            "<html><body><h2>Index</h2><p>y</p><ul><li><a href=\"help:5\">alpha</a></li>"
            "<li><a href=\"help:7\">Beta</a></li><li><a href=\"help:9\">Gamma</a></li>"
            "<li><a href=\"help:0\">Top</a></li></ul></body></html>");
}
