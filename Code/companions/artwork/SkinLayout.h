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
inline constexpr QRect kPreviewPanel{10, 46, 272, 232};
inline constexpr QRect kVideo{20, 56, 253, 152};
inline constexpr QRect kTrimBar{17, 214, 260, 19};
inline constexpr QRect kPlay{20, 242, 25, 25};
inline constexpr QRect kPause{50, 242, 25, 25};
inline constexpr QRect kStop{80, 242, 25, 25};
inline constexpr QRect kCurTime{190, 246, 81, 17};

// The settings area on the right.
inline constexpr QRect kSettingsPanel{290, 46, 386, 232};
inline constexpr int kLabelX = 300;
inline constexpr QRect kOutputFiletype{372, 58, 297, 22};
inline constexpr QRect kProfile{372, 90, 217, 22};
inline constexpr QRect kOptions{599, 91, 70, 20};
inline constexpr QRect kOutputFolder{372, 122, 217, 22};
inline constexpr QRect kBrowse{599, 123, 70, 20};
inline constexpr QRect kSelectOutputFolder{640, 150, 29, 26};
inline constexpr QRect kShutdownBox{300, 156, 16, 16};
inline constexpr QRect kShowFolderBox{300, 180, 16, 16};
inline constexpr QRect kCodecLink{300, 206, 250, 16};
inline constexpr QRect kHomePage{456, 222, 48, 48};
inline constexpr QRect kEMail{510, 222, 48, 48};
inline constexpr QRect kHelp{564, 222, 48, 48};
inline constexpr QRect kAbout{618, 222, 48, 48};
inline constexpr QRect kUpdate{402, 222, 48, 48};

// The source list and its buttons at the bottom.
inline constexpr QRect kListPanel{10, 286, 666, 158};
inline constexpr QRect kSourceList{18, 296, 525, 138};
inline constexpr QRect kOpenFile{556, 296, 110, 28};
inline constexpr QRect kRemoveFile{556, 328, 110, 28};
inline constexpr QRect kClearFile{556, 360, 110, 28};
inline constexpr QRect kConvert{556, 394, 110, 40};

inline constexpr QRect kFooter{16, 452, 654, 24};

}  // namespace tarquel::artwork::layout
