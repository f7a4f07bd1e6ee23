// The controls of the dialogs, numbered as the dialogs' templates number them.
#pragma once

namespace lexvia::dialog {

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// Progress dialog.
inline constexpr int kProgressText = 1023;

// Browse dialog: the navigation buttons send the main window's commands.
inline constexpr int kBrowseHome = 14017;     // "|«"
inline constexpr int kBrowsePageUp = 121;     // "«"
inline constexpr int kBrowseLineUp = 14002;   // "<"
inline constexpr int kBrowseLineDown = 14003; // ">"
inline constexpr int kBrowsePageDown = 122;   // "»"
inline constexpr int kBrowseEnd = 14018;      // "»|"
inline constexpr int kBrowseClose = 1030;     // never visible
inline constexpr int kBrowseList = 1025;

// Search Options dialog.
inline constexpr int kCaption1 = 1009;
inline constexpr int kPrefixes1 = 1007;
inline constexpr int kReset1 = 1011;
inline constexpr int kCaption2 = 1010;
inline constexpr int kPrefixes2 = 1006;
inline constexpr int kReset2 = 1012;

// About box.
inline constexpr int kAboutIcon = 107;
inline constexpr int kVersionLine = 1001;
inline constexpr int kLegalLine = 1003;
inline constexpr int kWebLine = 1004;
inline constexpr int kRightsLine = 1005;
inline constexpr int kDictionaryLine = 1016;
inline constexpr int kFeatureLine = 1015;  // never visible; holds the text

// The history and favourites pages. The list reports a chosen row (Enter,
// a double click) as its own id; the action button clears the history or
// removes the current favourite.
inline constexpr int kPageList = 1040;
inline constexpr int kPageAction = 1041;
inline constexpr int kPageNote = 1042;  // "No lookups yet", when the list is empty

// The About box's timers.
inline constexpr int kFadeIn = 45010;
inline constexpr int kHold = 45011;
inline constexpr int kFadeOut = 45012;

}  // namespace lexvia::dialog
