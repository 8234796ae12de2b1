// The product texts of Res.dll by string id: the one list both builds use.
// A Unix Res.dll returns them from its exported lookup; a Windows one holds
// them in its string table, which the resource tool writes from this list.
#pragma once

namespace tarquel::res {

struct TResString {
  unsigned Id;
  const char* Text;
};

inline constexpr TResString kResStrings[] = {
    {0, "Brenmoor Software"},
    {1, "Tarquel"},
    {2, "Converts video for handheld game consoles and audio to AAC, M4A and MP3."},
    {4, "https://tarquel.example.com/"},
    {5, "support@tarquel.example.com"},
    {7, "Copyright (C) 2026 Brenmoor Software. All rights reserved."},
};

// The splash picture's resource name and type.
inline constexpr const char* kSplashName = "ImgFlash";
inline constexpr const char* kSplashType = "jpeg";

}  // namespace tarquel::res
