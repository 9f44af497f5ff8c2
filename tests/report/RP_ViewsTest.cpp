#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "report/RP_BandView.h"
#include "report/RP_Memo.h"
#include "report/RP_Page.h"
#include "report/RP_Utils.h"

namespace {

class Views : public ::testing::Test {
 protected:
  void SetUp() override { rpResetState(); }
  void TearDown() override { rpResetState(); }
};

// A view of each type with every field away from its default.
std::unique_ptr<TrpView> Sample(int type) {
  auto v = CreateReportObject(type, "");
  v->Name = Ansi("Объект") + IntToStr(type);
  v->SetBounds(10 + type, 20, 300, 40);
  v->FrameTyp = type == rpotBand ? std::uint16_t{btMasterData} : rpftAll;
  v->FrameWidth = 0.5f;
  v->FrameColor = clRed;
  v->FrameStyle = rpfsDash;
  v->FillColor = clYellow;
  v->FormatStr = "#,##0.00";
  v->Memo.Add(Ansi("Строка [A]"));
  v->Memo.Add("second");
  v->Script.Add("begin end");
  v->Visible = false;
  v->Restrictions = 4;
  v->Tag = "tag";
  v->GapX = 3;
  v->GapY = 4;
  v->BandAlign = baCenter;
  if (auto* m = dynamic_cast<TrpMemoView*>(v.get())) {
    m->Font = {"Times New Roman", 12, fsBold | fsItalic, clBlue, 204};
    m->Alignment = rpalJustify | rpalMiddle;
    m->HighlightCondition = "A > 1";
    m->LineSpacing = 5;
    m->CharSpacing = 1;
  }
  if (auto* b = dynamic_cast<TrpBandView*>(v.get())) {
    b->ChildBand = "Child1";
    b->Columns = 3;
    b->ColumnWidth = 150;
    b->ColumnGap = 7;
    b->NewColumnAfter = 2;
    b->Master = "Master1";
  }
  if (auto* s = dynamic_cast<TrpSubReportView*>(v.get())) s->SubPage = 2;
  if (auto* p = dynamic_cast<TrpPictureView*>(v.get())) {
    TBitmap bmp(3, 2, clGreen);
    p->Picture.Assign(rpikBitmap, rpEncodeBmp(bmp));
    p->BlobType = btICO;
  }
  return v;
}

std::string Record(TrpView& v, bool prepared) {
  TMemoryStream m;
  v.InPreparedPage = prepared;
  if (prepared) v.PrintText.Assign(v.Memo);
  v.SaveToStream(m);
  return m.Bytes();
}

}  // namespace

TEST_F(Views, EveryRecordRoundTripsByteForByteInBothForms) {
  for (int type : {rpotMemo, rpotPicture, rpotBand, rpotSubReport, rpotLine})
    for (bool prepared : {false, true}) {
      SCOPED_TRACE(testing::Message() << "type " << type << (prepared ? " prepared" : " template"));
      auto a = Sample(type);
      const std::string bytes = Record(*a, prepared);
      TMemoryStream m(bytes);
      auto b = CreateReportObject(type, "");
      b->InPreparedPage = prepared;
      b->LoadFromStream(m);
      EXPECT_EQ(m.BytesLeft(), 0);
      EXPECT_EQ(b->Name, a->Name);
      EXPECT_EQ(b->Memo.Lines(), a->Memo.Lines());
      EXPECT_EQ(b->FrameWidth, 0.5f);
      EXPECT_EQ(Record(*b, prepared), bytes);
      if (!prepared) {
        EXPECT_EQ(b->Script.Lines(), a->Script.Lines());
        EXPECT_FALSE(b->Visible);
      } else {
        EXPECT_EQ(b->Script.Count(), 0);  // not in the prepared form
        EXPECT_TRUE(b->Visible);
      }
    }
}

TEST_F(Views, PreparedFormLeavesOutTemplateFields) {
  auto v = Sample(rpotMemo);
  const std::string t = Record(*v, false), p = Record(*v, true);
  // Format (4) + FormatStr + Script lines + Visible (2) + highlight (10 + condition).
  const std::size_t formatStr = 2 + 8 + 1, script = 2 + 2 + 9 + 1, condition = 2 + 5 + 1;
  EXPECT_EQ(t.size() - p.size(), 4 + formatStr + script + 2 + 10 + condition);
}

// Older streams: the bytes a version-22/23 writer gives, built field by field.
namespace {

void OldString(TStream& s, std::string_view text, int v) {
  if (v >= 23) {
    rpStreamWriteString(s, text);
  } else {
    s.WriteString(text);
    s.WriteByte(0);
  }
}

void OldLines(TStream& s, const std::vector<std::string>& lines, int v) {
  if (v >= 23) {
    TStringList l;
    for (const auto& x : lines) l.Add(x);
    rpStreamWriteLines(s, l);
  } else {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i) s.WriteByte(13);
      s.WriteString(lines[i]);
    }
    s.WriteByte(0);
  }
}

// Base record of a template view in version v (no name below 23, no record version
// pair and later fields below 24).
void OldBase(TStream& s, int v, std::uint16_t flags, std::uint16_t frameTyp) {
  if (v == 23) OldString(s, "Old", v);
  for (int x : {5, 6, 70, 80}) s.WriteInt32(x);
  s.WriteUInt16(flags);
  s.WriteUInt16(frameTyp);
  s.WriteInt32(20);  // frame width: 20 thousandths
  s.WriteInt32(0);
  s.WriteUInt16(0);
  s.WriteInt32(static_cast<std::int32_t>(rpNoColor));
  s.WriteInt32(0);
  OldString(s, "", v);
  OldLines(s, {"x", "y"}, v);
  if (v > 22) {
    OldLines(s, {}, v);
    s.WriteInt16(-1);
  }
}

}  // namespace

TEST_F(Views, OlderTemplateRecordsKeepDefaultsAndGetNames) {
  struct Case {
    int version, type;
  };
  for (const Case c : {Case{21, rpotMemo}, Case{22, rpotMemo}, Case{23, rpotMemo}, Case{23, rpotBand}}) {
    SCOPED_TRACE(testing::Message() << "v" << c.version << " type " << c.type);
    TrpPage page(9, 0, 0, -1, 0);
    rpState().CurrentPage = &page;
    rpState().StreamVersion = c.version;
    TMemoryStream m;
    OldBase(m, c.version, 1, c.type == rpotBand ? btGroupHeader : 0);
    if (c.type == rpotMemo) {
      OldString(m, "Arial", c.version);
      m.WriteInt32(9);
      m.WriteUInt16(2);
      m.WriteInt32(0);
      m.WriteInt32(rpalCenter);
      m.WriteUInt16(0);  // character set: replaced below version 23
      m.WriteUInt16(2);
      m.WriteInt32(0);
      m.WriteInt32(0xFFFFFF);
      OldString(m, "", c.version);
    }
    m.SetPosition(0);
    auto v = CreateReportObject(c.type, "");
    v->LoadFromStream(m);
    EXPECT_EQ(m.BytesLeft(), 0);
    EXPECT_EQ(v->Name, c.version == 23 ? AnsiString("Old") : AnsiString("Memo1"));
    EXPECT_FLOAT_EQ(v->FrameWidth, 0.02f);
    EXPECT_EQ(v->Memo.Lines(), (std::vector<AnsiString>{"x", "y"}));
    EXPECT_EQ(v->BandAlign, baNone);
    if (auto* memo = dynamic_cast<TrpMemoView*>(v.get())) {
      EXPECT_EQ(memo->LineSpacing, 2);
      EXPECT_EQ(memo->CharSpacing, 0);
      EXPECT_EQ(memo->Font.Style, fsBold);
      EXPECT_EQ(memo->Font.Charset, c.version < 23 ? rpDefaultCharset : 0);
      EXPECT_EQ((memo->Flags & flWordWrap) != 0, c.version == 21);
    }
    if (auto* band = dynamic_cast<TrpBandView*>(v.get())) {
      EXPECT_EQ(band->BandType(), btGroupHeader);
      EXPECT_EQ(band->Columns, 1);
      EXPECT_EQ(band->ColumnWidth, 200);
      EXPECT_EQ(band->Master, "");
    }
    rpState().CurrentPage = nullptr;
  }
}

TEST_F(Views, RecordVersionOneHasNoBandAlignAndBandsWithoutMinorNoMaster) {
  auto v = Sample(rpotBand);
  std::string bytes = Record(*v, false);
  // Name (2 + 7 cp1251 bytes... ) is followed by RecordVersion and RecordMinor.
  const std::size_t rv = 2 + v->Name.size() + 1;
  EXPECT_EQ(static_cast<int>(bytes[rv]), 2);
  EXPECT_EQ(static_cast<int>(bytes[rv + 1]), 1);
  // The same record marked 2.0 is read without Master, which stays unread.
  bytes[rv + 1] = 0;
  TMemoryStream m(bytes);
  TrpBandView b;
  b.LoadFromStream(m);
  EXPECT_EQ(b.Master, "");
  EXPECT_EQ(m.BytesLeft(), 2 + 7 + 1);
  // RecordVersion 1: no BandAlign byte.
  auto line = Sample(rpotLine);
  std::string l = Record(*line, false);
  l[2 + line->Name.size() + 1] = 1;
  l.pop_back();
  TMemoryStream lm(l);
  TrpLineView lv;
  lv.LoadFromStream(lm);
  EXPECT_EQ(lm.BytesLeft(), 0);
  EXPECT_EQ(lv.BandAlign, baNone);
}

TEST_F(Views, FrameWidthCoding) {
  struct Case {
    float width;
    std::int32_t stored;
  };
  // 11 and 12 used to be stored whole and read back as thousandths.
  for (const Case c : {Case{0.5f, 500}, Case{2, 2}, Case{1, 1}, Case{10, 10}, Case{11, 11000}, Case{12.5f, 12500},
                       Case{0, 0}}) {
    EXPECT_EQ(rpEncodeFrameWidth(c.width), c.stored) << c.width;
    EXPECT_FLOAT_EQ(rpDecodeFrameWidth(c.stored), c.width) << c.width;
  }
  EXPECT_FLOAT_EQ(rpDecodeFrameWidth(20), 0.02f);
}

TEST_F(Views, ScaleCoordsTable) {
  struct Case {
    double scale;
    std::uint16_t frame;
    float fw;
    int gapX, gapY;
    TRect frameRect;
  };
  rpState().DocMode = rpOutputMode;
  const Case cases[] = {
      {1, 0, 1, 2, 1, Rect(10, 20, 111, 51)},
      {2, 0, 1, 5, 2, Rect(20, 40, 221, 101)},
      {2, rpftAll, 1, 5, 2, Rect(20, 40, 220, 100)},  // round(0.5) is 0: halves go to even
      {1, rpftAll, 3, 4, 2, Rect(11, 21, 109, 49)},
      {0.5, rpftRight | rpftBottom, 2, 1, 0, Rect(5, 10, 56, 26)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    TrpLineView v;
    v.SetBounds(10, 20, 100, 30);
    v.FrameTyp = c.frame;
    v.FrameWidth = c.fw;
    v.ScaleX = v.ScaleY = c.scale;
    v.ScaleCoords();
    EXPECT_EQ(v.GapX, c.gapX);
    EXPECT_EQ(v.GapY, c.gapY);
    EXPECT_EQ(v.FrameRect, c.frameRect);
    v.RestoreCoords();
    EXPECT_EQ(v.Left, 10);
    EXPECT_EQ(v.Width, 100);
    EXPECT_EQ(v.GapX, 2);
    EXPECT_FLOAT_EQ(v.FrameWidth, c.fw);
  }
}

TEST_F(Views, DrawFrameStyles) {
  rpState().DocMode = rpOutputMode;
  TRecordingCanvas canvas;
  TrpLineView v;  // a plain view: draw the frame directly
  v.SetBounds(10, 10, 50, 20);
  v.FrameTyp = rpftTop;
  v.FrameWidth = 2;
  v.FrameStyle = rpfsDouble;
  v.FillColor = clWhite;
  v.Canvas = &canvas;
  v.ScaleCoords();
  v.DrawFrame();
  auto lines = canvas.OpsOf(TRecordingCanvas::TOpKind::Line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]->R, Rect(10, 8, 60, 8));
  EXPECT_EQ(lines[1]->R, Rect(10, 12, 60, 12));
  EXPECT_EQ(lines[2]->R, Rect(10, 10, 60, 10));
  EXPECT_EQ(lines[2]->Pen.Color, clWhite);
  EXPECT_EQ(lines[0]->Pen.Color, 0u);
  v.RestoreCoords();
  canvas.Clear();
  v.FrameStyle = rpfsDash;
  v.FrameWidth = 3;
  v.FrameTyp = rpftLeft;
  v.ScaleCoords();
  v.DrawFrame();
  lines = canvas.OpsOf(TRecordingCanvas::TOpKind::Line);
  ASSERT_EQ(lines.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(lines[static_cast<std::size_t>(k)]->R.Left, 10 + k - 1);
    EXPECT_EQ(lines[static_cast<std::size_t>(k)]->Pen.Width, 1);
    EXPECT_EQ(lines[static_cast<std::size_t>(k)]->Pen.Style, TPenStyle::psDash);
  }
  v.RestoreCoords();
  canvas.Clear();
  rpState().FirstPass = true;
  v.DrawFrame();
  EXPECT_TRUE(canvas.Ops().empty());
}

TEST_F(Views, PropertiesAndMethods) {
  TrpMemoView v;
  EXPECT_EQ(v.GetPropValue("datafield").AsString(), "");
  EXPECT_TRUE(v.GetPropValue("NOSUCH").IsNull());
  v.SetPropValue("NOSUCH", 5);
  v.SetPropValue("Memo", "a\r\nb");
  EXPECT_EQ(v.GetPropValue("MEMO").AsString(), "a\r\nb");
  EXPECT_EQ(v.GetPropValue("MEMO.COUNT").AsInteger(), 2);
  v.SetPropValue("FONT.STYLE", 2);  // stored bit 1: bold
  EXPECT_EQ(v.Font.Style, fsBold);
  EXPECT_EQ(v.GetPropValue("FONT.STYLE").AsInteger(), 2);
  v.SetPropValue("stretched", false);
  EXPECT_EQ(v.Flags & flStretched, 0);
  v.DoMethod("MEMO.ADD", "'c'", {}, {});
  EXPECT_EQ(v.Memo.Count(), 3);
  EXPECT_EQ(v.DoMethod("LINES.INDEXOF", "'b'", {}, {}).AsInteger(), 1);
  EXPECT_EQ(v.DoMethod("GETINDEXPROPERTY", "LINES", 2, {}).AsString(), "c");
  EXPECT_THROW(v.DoMethod("MEMO.DELETE", "7", {}, {}), ErpViewError);
  EXPECT_THROW(v.DoMethod("SETINDEXPROPERTY", "MEMO", -1, "x"), ErpViewError);
  v.DoMethod("HIDE", {}, {}, {});
  EXPECT_FALSE(v.Visible);
  EXPECT_NE(v.FindProperty("Font.Name"), nullptr);
  TrpBandView band;
  band.SetBandType(btGroupHeader);
  EXPECT_NE(band.FindProperty("Condition"), nullptr);
  EXPECT_NE(band.FindProperty("OnBeforePrint"), nullptr);
  EXPECT_EQ(band.FindProperty("FrameTyp"), nullptr);
  EXPECT_TRUE(band.GetPropValue("EOF").AsBoolean());
}

TEST_F(Views, CreateReportObjectAndNames) {
  EXPECT_EQ(CreateReportObject(7, ""), nullptr);
  const auto before = rpState().ObjectCounter;
  auto a = CreateReportObject(rpotMemo, "");
  auto b = CreateReportObject(rpotLine, "");
  EXPECT_EQ(b->ObjectId, a->ObjectId + 1);
  EXPECT_EQ(rpState().ObjectCounter, before + 2);
  EXPECT_THROW(CreateReportObject(rpotAddIn, "TrpNoSuch"), EClassNotFound);
  EXPECT_EQ(rpState().ErrorText, "TrpNoSuch\r");
  EXPECT_TRUE(rpState().ErrorFlag);

  TrpPage page(9, 0, 0, -1, 0);
  rpState().CurrentPage = &page;
  page.AddObject(CreateReportObject(rpotMemo, ""))->CreateUniqueName();
  page.AddObject(CreateReportObject(rpotMemo, ""))->CreateUniqueName();
  EXPECT_EQ(page.Objects[1]->Name, "Memo2");
  EXPECT_EQ(FindObjectForProperty("memo1.Left").Object, page.Objects[0].get());
  rpState().CurrentView = page.Objects[1].get();
  const TrpPropertyTarget font = FindObjectForProperty("Font.Name");
  EXPECT_EQ(font.Object, page.Objects[1].get());
  EXPECT_EQ(font.PropName, "Font.Name");
  EXPECT_EQ(FindObjectForProperty("PAGE0.WIDTH").Object, nullptr);
  EXPECT_EQ(FindObjectForProperty("PAGE1.WIDTH").Object, &page);
  EXPECT_EQ(FindObjectForProperty("PAGE9.WIDTH").Object, nullptr);
  EXPECT_EQ(FindObjectForProperty("Nobody.Left").Object, nullptr);
  rpState().CurrentPage = nullptr;
}

TEST_F(Views, ExpressionErrorText) {
  TrpMemoView v;
  v.Name = "Memo3";
  v.Memo.Add("[X/0]");
  rpState().CurrentView = &v;
  rpExpressionError("boom");
  EXPECT_TRUE(rpState().ErrorFlag);
  EXPECT_TRUE(rpState().Terminated);
  EXPECT_EQ(rpState().ErrorText, Ansi("Возникла ошибка при обработке выражения\r[X/0]\r\rДокумент: \rОбъект: Memo3\r\rboom"));
}

TEST_F(Views, PictureLayoutAndDamagedRecords) {
  rpState().DocMode = rpOutputMode;
  TrpPictureView p;
  p.SetBounds(0, 0, 100, 100);
  p.Flags = flStretched | flKeepAspect | flCenter;
  p.Picture.Assign(rpikBitmap, rpEncodeBmp(TBitmap(200, 100, clRed)));
  ASSERT_EQ(p.Picture.ImageWidth(), 200);
  TRecordingCanvas c;
  p.Draw(c);
  auto bmps = c.OpsOf(TRecordingCanvas::TOpKind::StretchBitmap);
  ASSERT_EQ(bmps.size(), 1u);
  EXPECT_EQ(bmps[0]->R, Rect(0, 25, 101, 75));  // 50 high, FrameRect is one wider
  EXPECT_EQ(bmps[0]->Bitmap.Pixel(5, 5), clRed);

  // A metafile keeps its bytes and draws as a framed cross.
  c.Clear();
  p.Picture.Assign(rpikMetafile, std::string("\xD7\xCD\xC6\x9A rest", 9));
  p.Draw(c);
  EXPECT_EQ(c.OpsOf(TRecordingCanvas::TOpKind::StretchBitmap).size(), 0u);
  EXPECT_EQ(c.OpsOf(TRecordingCanvas::TOpKind::Line).size(), 2u);
  EXPECT_EQ(c.OpsOf(TRecordingCanvas::TOpKind::Rectangle).size(), 1u);

  // End positions before the image or past the stream are damage, not seeks.
  std::string bytes = Record(p, false);
  const std::size_t endAt = bytes.size() - 9 - 4;
  for (std::int32_t bad : {0, static_cast<std::int32_t>(bytes.size() + 1)}) {
    std::string b = bytes;
    for (int i = 0; i < 4; ++i) b[endAt + static_cast<std::size_t>(i)] = static_cast<char>((bad >> (8 * i)) & 0xFF);
    TMemoryStream m(b);
    TrpPictureView q;
    EXPECT_THROW(q.LoadFromStream(m), ErpRecordError) << bad;
  }
  // A damaged bitmap still leaves the stream at the end position.
  TrpPictureView broken;
  broken.Picture.Assign(rpikBitmap, "BMxx not a bitmap");
  TMemoryStream m;
  broken.SaveToStream(m);
  m.WriteString("NEXT");
  m.SetPosition(0);
  TrpPictureView r;
  r.LoadFromStream(m);
  EXPECT_TRUE(r.Picture.Image.Empty());
  EXPECT_EQ(r.Picture.Bytes, "BMxx not a bitmap");
  EXPECT_EQ(m.ReadString(4), "NEXT");
}

TEST_F(Views, LineTurnsToItsLongerSide) {
  rpState().DocMode = rpOutputMode;
  TRecordingCanvas c;
  TrpLineView h;
  h.SetBounds(10, 10, 100, 1);
  h.Draw(c);
  EXPECT_EQ(h.Height, 0);
  EXPECT_EQ(h.FrameTyp, rpftTop);
  TrpLineView v;
  v.SetBounds(10, 10, 1, 100);
  v.Draw(c);
  EXPECT_EQ(v.Width, 0);
  EXPECT_EQ(v.FrameTyp, rpftLeft);
  auto lines = c.OpsOf(TRecordingCanvas::TOpKind::Line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]->R, Rect(10, 10, 110, 10));
  EXPECT_EQ(lines[1]->R, Rect(10, 10, 10, 110));
}

// Width alignment in the designer: a view inside a cross band takes the band's strip,
// any other view the page's width.
TEST_F(Views, WidthAlignmentInTheDesignerFollowsACrossBand) {
  TrpPage page(9, 0, 0, -1, rpPortrait);
  auto* cross = static_cast<TrpBandView*>(page.AddObject(CreateReportObject(rpotBand, "")));
  cross->FrameTyp = btCrossData;
  cross->SetBounds(300, 0, 100, 1000);
  rpState().CurrentPage = &page;
  TRecordingCanvas canvas(Rect(0, 0, 800, 1100));
  for (const auto& [left, expectLeft, expectWidth] :
       {std::tuple{320, 300, 100}, std::tuple{100, 0, page.PageInfo.ReportWidth()}}) {
    SCOPED_TRACE(left);
    TrpMemoView m;
    m.SetBounds(left, 50, 40, 20);
    m.BandAlign = baWidth;
    m.BeginDraw(canvas);
    EXPECT_EQ(m.Left, expectLeft);
    EXPECT_EQ(m.Width, expectWidth);
  }
  rpState().CurrentPage = nullptr;
}
