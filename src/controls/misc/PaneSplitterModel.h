// The collapse button of the pane splitter, without any toolkit: the button's geometry,
// the arrows and the automatic highlight colour, and the state machine of Maximized,
// Minimized and the restore size.
//
// Sizes are the neighbour's (its height for a top or bottom bar, its width for a left
// or right one). "Setting the size to S" goes through the control, which applies the
// splitter's limits (never below MinSize, never so large that the rest of the parent
// drops below MinSize): -3000 collapses the neighbour, 3000 gives it all it may take.
//
//   Maximized := true    off Minimized (the restore size stays), else restore := size;
//                        size := -3000 (bsNetscape; bsWindows: -3000 top/right bars,
//                        3000 bottom/left); OnMaximize
//   Maximized := false   size := restore; OnRestore
//   Minimized := true    off Maximized (the restore size stays), else restore := size;
//                        size := 3000 top/right, -3000 bottom/left; OnMinimize
//   Minimized := false   size := restore; OnRestore
//   drag ended           Maximized := MinSize >= size (then size := MinSize and
//                        OnMaximize unless it was on), else restore := size (and
//                        OnRestore when it was maximised)
// While Loading only the flags are stored. Nothing happens without a neighbour.
#pragma once

#include <functional>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Graphics.h"

enum class TSplitterSide { ssNone, ssTop, ssBottom, ssLeft, ssRight };
enum class TSplitterButtonStyle { bsNetscape, bsWindows };
enum class TButtonWidthType { btwPixels, btwPercentage };
enum class TWindowsButton { wbMin, wbMax, wbClose };

struct TSplitterButtonGeometry {
  TSplitterButtonStyle Style = TSplitterButtonStyle::bsNetscape;
  TButtonWidthType WidthType = TButtonWidthType::btwPixels;
  int ButtonWidth = 100;
  bool Beveled = false;
  std::vector<TWindowsButton> WindowsButtons{TWindowsButton::wbMin, TWindowsButton::wbMax, TWindowsButton::wbClose};
};

// A bar across which the neighbour is resized: top and bottom bars lie horizontally.
inline bool SplitterIsHorizontal(TSplitterSide side) {
  return side == TSplitterSide::ssTop || side == TSplitterSide::ssBottom;
}
// The Netscape button in the bar's client rectangle (empty when its length is 0): one
// pixel in from each side across the bar, and with a bevel 3 pixels more.
TRect NetscapeButtonRect(const TRect& client, TSplitterSide side, const TSplitterButtonGeometry& g);
// The Windows squares with what each does, at the bar's far end (right or bottom), from
// the left or the top.
std::vector<std::pair<TWindowsButton, TRect>> WindowsButtonRects(const TRect& client, TSplitterSide side,
                                                                 const TSplitterButtonGeometry& g);
// The automatic highlight: caption + 180 x (face - caption) / 255 per channel.
TColor AutoHighlightColor(TColor activeCaption, TColor buttonFace);
// A filled arrow of size n (made odd, at least 1) with its base of 2n - 1 pixels, its
// tip at `tip`, pointing toward `side` (ssTop: up, ssBottom: down, ...).
std::vector<TPoint> ArrowPolygon(TPoint tip, int n, TSplitterSide side);
// A click on the button: the release is on it and the pointer moved at most 5 pixels
// along the bar's drag axis.
bool IsButtonClick(TPoint down, TPoint up, const TRect& button, TSplitterSide side);

class TPaneSplitterModel {
 public:
  TSplitterSide Side = TSplitterSide::ssNone;
  TSplitterButtonStyle ButtonStyle = TSplitterButtonStyle::bsNetscape;
  int MinSize = 30;
  bool Loading = false;
  TObject* Sender = nullptr;  // what the events report

  // The control's side.
  std::function<bool()> HasNeighbour;
  std::function<int()> NeighbourSize;
  std::function<void(int size)> SetNeighbourSize;

  TNotifyEvent OnMaximize, OnMinimize, OnRestore, OnClose;

  bool Maximized() const { return maximized_; }
  bool Minimized() const { return minimized_; }
  void SetMaximized(bool v);
  void SetMinimized(bool v);
  // The restore size (-1: not yet known); kept with the form as "RestorePos" only
  // while Maximized or Minimized is on.
  int RestorePos() const { return restorePos_; }
  void SetRestorePos(int v) { restorePos_ = v; }
  bool StoresRestorePos() const { return maximized_ || minimized_; }
  // After loading and after any change of the bar's bounds: an unknown restore size
  // is taken from the neighbour.
  void BoundsChanged();
  void DragEnded();
  // A click on the Netscape button, or on a Windows square.
  void ButtonClicked();
  void WindowsButtonClicked(TWindowsButton button);

 private:
  bool Usable() const;
  void Fire(const TNotifyEvent& e) const;
  bool maximized_ = false, minimized_ = false;
  int restorePos_ = -1;
};
