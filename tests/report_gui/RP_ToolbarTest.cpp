// The report windows' toolbar: the look of TrpTBButton in each state, probed on its
// rendered pixels; the separator's groove; the toolbar's alignment rule; the preview's
// toolbar made of these items.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "platform/gui/Containers.h"
#include "platform/gui/QtGraphics.h"
#include "report/gui/RP_Preview.h"
#include "report/gui/RP_Toolbar.h"

namespace {

constexpr TColor kGlyphColor = RGBColor(200, 100, 50);
const int kGrey = (77 * 200 + 150 * 100 + 29 * 50) / 256;

// An 8 x 8 square of one colour on a fuchsia (transparent) ground, 1 pixel inside it.
TBitmap Square() {
  TBitmap b(10, 10, clFuchsia);
  b.Fill(Rect(1, 1, 9, 9), kGlyphColor);
  b.Transparent = true;
  b.TransparentColor = clFuchsia;
  return b;
}

TColor At(const QImage& img, int x, int y) { return FromQColor(img.pixelColor(x, y)); }
TColor Rgb(TColor c) { return ColorToRGB(c); }

// A toolbar panel of 22 pixels with its buttons.
struct Bar {
  Bar() {
    panel.resize(200, 22);
    panel.setContentsMargins(0, 0, 0, 0);
  }
  TrpTBButton* Button() {
    auto* b = new TrpTBButton(&panel);
    b->SetGlyph(Square());
    return b;
  }
  TPanel panel;
};

// The checkered face: neighbours alternate between white and the button face.
bool Checkered(const QImage& img, int x, int y) {
  const TColor a = At(img, x, y), b = At(img, x + 1, y), c = At(img, x, y + 1);
  const TColor face = Rgb(clBtnFace);
  return a != b && b == c && (a == clWhite || a == face) && (b == clWhite || b == face);
}

}  // namespace

TEST(RpToolbar, ButtonStatesAsDrawn) {
  Bar bar;
  TrpTBButton* b = bar.Button();
  ASSERT_EQ(b->width(), 22);
  ASSERT_EQ(b->height(), 22);
  ASSERT_TRUE(b->Flat());
  // The 8 x 8 square of the 10 x 10 glyph lands at 7..14 (centred: (22 - 10) / 2 + 1).
  const TColor face = Rgb(clBtnFace), light = Rgb(clBtnHighlight), shadow = Rgb(clBtnShadow);

  // Grayed inactive: the pointer is outside; no frame, the glyph grey of its luminance.
  QImage img = b->RenderToImage();
  EXPECT_EQ(b->PaintState(), TButtonState::bsInactive);
  EXPECT_EQ(At(img, 0, 10), face);
  EXPECT_EQ(At(img, 21, 10), face);
  EXPECT_EQ(At(img, 7, 7), RGBColor(kGrey, kGrey, kGrey));
  EXPECT_EQ(At(img, 6, 6), face);

  // Normal (not greyed while inactive): the colour glyph, still no frame.
  b->SetGrayedInactive(false);
  img = b->RenderToImage();
  EXPECT_EQ(b->PaintState(), TButtonState::bsUp);
  EXPECT_EQ(At(img, 7, 7), kGlyphColor);
  EXPECT_EQ(At(img, 0, 10), face);

  // Pointer inside: a raised one-pixel frame and the colour glyph (also when greyed).
  b->SetGrayedInactive(true);
  b->MouseEnter();
  img = b->RenderToImage();
  EXPECT_EQ(At(img, 0, 10), light);
  EXPECT_EQ(At(img, 10, 0), light);
  EXPECT_EQ(At(img, 21, 10), shadow);
  EXPECT_EQ(At(img, 10, 21), shadow);
  EXPECT_EQ(At(img, 1, 10), face);
  EXPECT_EQ(At(img, 7, 7), kGlyphColor);

  // Down in a group: sunken, the checkered face, the glyph one pixel right and down;
  // with the pointer gone it stays sunken and checkered, its glyph grey.
  b->SetGroupIndex(1);
  b->SetDown(true);
  EXPECT_EQ(b->State(), TButtonState::bsExclusive);
  for (bool inside : {true, false}) {
    if (!inside) b->MouseLeave();
    img = b->RenderToImage();
    SCOPED_TRACE(inside ? "inside" : "outside");
    EXPECT_EQ(At(img, 0, 10), shadow);
    EXPECT_EQ(At(img, 21, 10), light);
    EXPECT_TRUE(Checkered(img, 2, 2));
    EXPECT_TRUE(Checkered(img, 17, 3));
    EXPECT_TRUE(Checkered(img, 6, 6));   // face left of the shifted glyph
    EXPECT_EQ(At(img, 15, 15), inside ? kGlyphColor : RGBColor(kGrey, kGrey, kGrey));
    EXPECT_EQ(At(img, 8, 8), At(img, 15, 15));
  }
  // The checkered brush: an 8 x 8 pattern of single pixels, white and face.
  EXPECT_EQ(At(img, 2, 2), At(img, 10, 2));
  EXPECT_EQ(At(img, 2, 2), At(img, 3, 3));

  // Disabled: no frame, the embossed glyph (shadow in place, highlight below right).
  b->SetAllowAllUp(true);
  b->SetDown(false);
  b->setEnabled(false);
  img = b->RenderToImage();
  EXPECT_EQ(b->State(), TButtonState::bsDisabled);
  EXPECT_EQ(At(img, 0, 10), face);
  EXPECT_EQ(At(img, 7, 7), shadow);
  EXPECT_EQ(At(img, 15, 15), light);
  b->setEnabled(true);
  EXPECT_EQ(b->State(), TButtonState::bsUp);

  // A raised (not flat) button: the class library's frame, pressed while held down.
  b->SetFlat(false);
  img = b->RenderToImage();
  EXPECT_EQ(At(img, 1, 10), light);
  EXPECT_EQ(At(img, 20, 10), shadow);
  EXPECT_EQ(At(img, 21, 10), Rgb(cl3DDkShadow));
  EXPECT_EQ(At(img, 7, 7), kGlyphColor);
  b->MouseDown(TMouseButton::mbLeft, {}, 5, 5);
  img = b->RenderToImage();
  EXPECT_EQ(At(img, 0, 10), shadow);
  EXPECT_EQ(At(img, 21, 10), light);
  EXPECT_EQ(At(img, 15, 15), kGlyphColor);
  EXPECT_NE(At(img, 7, 7), kGlyphColor);
  b->MouseUp(TMouseButton::mbLeft, {}, 5, 5);
}

TEST(RpToolbar, CaptionBesideTheGlyphAndRealMouseEvents) {
  Bar bar;
  TrpTBButton* b = bar.Button();
  b->SetGrayedInactive(false);
  b->resize(60, 22);
  b->SetCaption("100%");
  // Glyph left, Spacing 4, the pair centred: the glyph starts (60 - 10 - 4 - text) / 2 in.
  const int text = TQtTextMetrics::Instance().TextWidth(b->Font(), "100%");
  const int glyphX = (60 - 10 - 4 - text) / 2;
  QImage img = b->RenderToImage();
  EXPECT_EQ(At(img, glyphX + 1, 7), kGlyphColor);
  EXPECT_NE(At(img, glyphX, 7), kGlyphColor);
  int inked = 0;  // caption pixels right of the glyph and its spacing
  for (int x = glyphX + 14; x < glyphX + 14 + text; ++x)
    for (int y = 0; y < 22; ++y) inked += At(img, x, y) != Rgb(clBtnFace);
  EXPECT_GT(inked, 5);

  // The Qt path: enter, press and release inside click; a press dragged out does not.
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  auto send = [&](QEvent::Type type, QPoint at) {
    QMouseEvent e(type, at, b->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &e);
  };
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)));
  QCoreApplication::sendEvent(b, &enter);
  EXPECT_TRUE(b->MouseInControl());
  send(QEvent::MouseButtonPress, {5, 5});
  EXPECT_EQ(b->State(), TButtonState::bsDown);
  send(QEvent::MouseButtonRelease, {5, 5});
  EXPECT_EQ(clicks, 1);
  send(QEvent::MouseButtonPress, {5, 5});
  send(QEvent::MouseMove, {100, 5});
  EXPECT_EQ(b->State(), TButtonState::bsUp);
  send(QEvent::MouseButtonRelease, {100, 5});
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->MouseInControl());  // released outside
  // A raised button does not track the pointer.
  b->SetFlat(false);
  b->MouseEnter();
  EXPECT_FALSE(b->MouseInControl());
}

TEST(RpToolbar, SeparatorGrooveFollowsItsAlignment) {
  // On a bar whose parent is not aligned, items are aligned left: a vertical groove.
  QWidget host;
  auto* across = new TPanel(&host);
  across->resize(200, 24);
  across->setContentsMargins(0, 0, 0, 0);
  auto* s = new TrpTBSeparator(across);
  EXPECT_EQ(GetAlign(s), TAlign::alLeft);
  EXPECT_EQ(s->width(), 8);
  QImage img = s->RenderToImage();
  const TColor face = Rgb(clBtnFace), light = Rgb(clBtnHighlight), shadow = Rgb(clBtnShadow);
  EXPECT_EQ(At(img, 3, 2), shadow);
  EXPECT_EQ(At(img, 4, 2), light);
  EXPECT_EQ(At(img, 3, 21), shadow);
  EXPECT_EQ(At(img, 3, 1), face);
  EXPECT_EQ(At(img, 3, 22), face);
  EXPECT_EQ(At(img, 2, 10), face);
  EXPECT_EQ(At(img, 5, 10), face);

  // On a bar whose parent is aligned left, items are aligned top: a horizontal groove.
  auto* side = new TPanel(&host);
  SetAlign(side, TAlign::alLeft);
  auto* down = new TPanel(side);
  down->resize(30, 300);
  down->setContentsMargins(0, 0, 0, 0);
  auto* t = new TrpTBSeparator(down);
  EXPECT_EQ(GetAlign(t), TAlign::alTop);
  EXPECT_EQ(t->width(), 30);
  EXPECT_EQ(t->height(), 8);
  img = t->RenderToImage();
  EXPECT_EQ(At(img, 2, 3), shadow);
  EXPECT_EQ(At(img, 2, 4), light);
  EXPECT_EQ(At(img, 27, 3), shadow);
  EXPECT_EQ(At(img, 1, 3), face);
  EXPECT_EQ(At(img, 28, 3), face);
  EXPECT_EQ(At(img, 10, 2), face);
  // Without DrawBevel only the face.
  t->SetDrawBevel(false);
  img = t->RenderToImage();
  EXPECT_EQ(At(img, 2, 3), face);
}

TEST(RpToolbar, ItemsAlignAfterTheirPanelsParent) {
  QWidget host;
  auto* plain = new TPanel(&host);
  auto* right = new TPanel(&host);
  SetAlign(right, TAlign::alRight);
  auto* top = new TPanel(&host);
  SetAlign(top, TAlign::alTop);
  auto* onRight = new TPanel(right);
  auto* onTop = new TPanel(top);
  EXPECT_EQ(rpToolbarAlign(onRight), TAlign::alTop);
  EXPECT_EQ(rpToolbarAlign(onTop), TAlign::alLeft);
  EXPECT_EQ(rpToolbarAlign(plain), TAlign::alLeft);
  EXPECT_EQ(rpToolbarAlign(&host), TAlign::alNone);  // not a panel
  // An item put on another panel takes that panel's rule.
  auto* b = new TrpTBButton(onTop);
  EXPECT_EQ(GetAlign(b), TAlign::alLeft);
  b->setParent(onRight);
  EXPECT_EQ(GetAlign(b), TAlign::alTop);
}

TEST(RpToolbar, ThePreviewsToolbarIsMadeOfTheseItems) {
  TrpPreviewForm f;
  f.resize(900, 600);
  f.SetWindowState(TWindowState::wsNormal);
  f.Show();
  QCoreApplication::processEvents();
  std::vector<QWidget*> items;
  for (QObject* o : f.ToolBar->children())
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isHidden()) items.push_back(w);
  std::sort(items.begin(), items.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
  std::vector<std::string> names;
  for (QWidget* w : items) {
    names.push_back(dynamic_cast<TrpTBSeparator*>(w) ? "|" : w->objectName().toStdString());
    EXPECT_TRUE(dynamic_cast<TrpTBButton*>(w) || dynamic_cast<TrpTBSeparator*>(w));
    EXPECT_EQ(GetAlign(w), TAlign::alLeft);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"ZoomBtn", "|", "LoadBtn", "SaveBtn", "PrintBtn", "PageSetupBtn",
                                             "FindBtn", "|", "HelpBtn", "ExitBtn"}));
  // Side by side from the left edge, each as high as the bar's inside.
  int x = 2;
  for (QWidget* w : items) {
    EXPECT_EQ(w->x(), x) << w->objectName().toStdString();
    EXPECT_EQ(w->height(), 22);
    x += w->width();
  }
  EXPECT_EQ(f.ZoomBtn->Caption(), "100%");  // no pages: the factor stays 1
  // The caption's font is the bar's (ParentFont), or the button's own.
  TFont bold = f.ToolBar->Font();
  bold.Style = fsBold;
  f.ToolBar->SetFont(bold);
  EXPECT_EQ(f.ZoomBtn->Look().Font, bold);
  f.ZoomBtn->ParentFont = false;
  EXPECT_EQ(f.ZoomBtn->Look().Font, f.ZoomBtn->Font());

  if (const char* out = std::getenv("TARNWICK_TOOLBAR_STATES_PNG")) {
    // The states side by side, four times enlarged: grayed, normal, pointer inside, down
    // in a group (pointer inside and outside), disabled.
    Bar bar;
    std::vector<TrpTBButton*> buttons;
    for (int i = 0; i < 6; ++i) buttons.push_back(bar.Button());
    buttons[1]->SetGrayedInactive(false);
    buttons[2]->MouseEnter();
    for (int i : {3, 4}) {
      buttons[i]->SetGroupIndex(1);
      buttons[i]->MouseEnter();
    }
    buttons[3]->SetDown(true);
    buttons[4]->SetDown(true);  // releases button 3: groups latch one
    buttons[4]->MouseLeave();
    buttons[3]->SetAllowAllUp(true);
    buttons[3]->SetGroupIndex(2);
    buttons[3]->SetDown(true);
    buttons[5]->setEnabled(false);
    QImage strip(6 * 26, 22, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    for (int i = 0; i < 6; ++i) p.drawImage(i * 26, 0, buttons[i]->RenderToImage());
    p.end();
    strip.scaled(strip.size() * 4).save(out);
  }
}
