// Where everything sits on the main window's 686 x 486 skin. The skin is
// drawn around these places and the window puts its controls on them.
#pragma once

#include <QRect>

namespace tarquel::artwork::layout {

inline constexpr int kSkinWidth = 686;
inline constexpr int kSkinHeight = 486;

inline constexpr QRect kTitle{16, 7, 560, 28};
inline constexpr QRect kMinimize{618, 9, 25, 25};
inline constexpr QRect kClose{648, 9, 25, 25};

// The preview area on the left.
inline constexpr QRect kPreviewPanel{8, 46, 274, 232};
inline constexpr QRect kVideo{20, 56, 253, 152};
inline constexpr QRect kTrimBar{17, 214, 260, 19};
inline constexpr QRect kPlay{20, 242, 25, 25};
inline constexpr QRect kPause{50, 242, 25, 25};
inline constexpr QRect kStop{80, 242, 25, 25};
inline constexpr QRect kCurTime{190, 246, 81, 17};

// The settings area on the right.
inline constexpr QRect kSettingsPanel{288, 46, 393, 232};
inline constexpr int kLabelX = 295;
inline constexpr QRect kOutputFiletype{382, 58, 297, 22};
inline constexpr QRect kProfile{382, 90, 217, 22};
inline constexpr QRect kOptions{607, 91, 70, 20};
inline constexpr QRect kOutputFolder{382, 122, 217, 22};
inline constexpr QRect kBrowse{607, 123, 70, 20};
inline constexpr QRect kSelectOutputFolder{640, 150, 29, 26};
inline constexpr QRect kShutdownBox{295, 156, 16, 16};
inline constexpr QRect kShowFolderBox{295, 180, 16, 16};
inline constexpr QRect kCodecLink{295, 206, 250, 16};
inline constexpr QRect kHomePage{461, 222, 48, 48};
inline constexpr QRect kEMail{515, 222, 48, 48};
inline constexpr QRect kHelp{569, 222, 48, 48};
inline constexpr QRect kAbout{623, 222, 48, 48};
inline constexpr QRect kUpdate{402, 222, 48, 48};

// The source list and its buttons at the bottom.
inline constexpr QRect kListPanel{8, 286, 673, 158};
inline constexpr QRect kSourceList{18, 296, 525, 138};
inline constexpr QRect kOpenFile{559, 296, 110, 28};
inline constexpr QRect kRemoveFile{559, 328, 110, 28};
inline constexpr QRect kClearFile{559, 360, 110, 28};
inline constexpr QRect kConvert{559, 394, 110, 40};

inline constexpr QRect kFooter{16, 452, 654, 24};

// The size grip in the bottom-right corner, inside the rounded outline.
inline constexpr QRect kSizeGrip{kSkinWidth - 22, kSkinHeight - 22, 14, 14};

// How a place follows the skin when the window grows: along each axis it
// stays, moves with the far edge, or stretches to it.
enum class Follow { Stay, Move, Stretch };

inline constexpr QRect Grown(const QRect& place, QSize extra, Follow horizontal, Follow vertical) {
  const int dx = extra.width() > 0 ? extra.width() : 0;
  const int dy = extra.height() > 0 ? extra.height() : 0;
  QRect r = place;
  if (horizontal == Follow::Move) r.translate(dx, 0);
  if (horizontal == Follow::Stretch) r.setWidth(r.width() + dx);
  if (vertical == Follow::Move) r.translate(0, dy);
  if (vertical == Follow::Stretch) r.setHeight(r.height() + dy);
  return r;
}

// The places that follow a grown skin; all others stay. The source list
// takes the extra room, its buttons keep to its right edge, Convert and the
// footer to the bottom, the window buttons and the link row to the right.
inline constexpr QRect GrownTitleBar(QSize extra) { return Grown({3, 3, kSkinWidth - 6, 38}, extra, Follow::Stretch, Follow::Stay); }
inline constexpr QRect GrownSettingsPanel(QSize extra) { return Grown(kSettingsPanel, extra, Follow::Stretch, Follow::Stay); }
inline constexpr QRect GrownListPanel(QSize extra) { return Grown(kListPanel, extra, Follow::Stretch, Follow::Stretch); }
inline constexpr QRect GrownFooter(QSize extra) { return Grown(kFooter, extra, Follow::Stretch, Follow::Move); }

}  // namespace tarquel::artwork::layout
