// The numbers the main window and its menus are addressed by: commands as
// the menus, buttons and dialogs send them, and the main window's controls.
#pragma once

namespace lexvia::command {

inline constexpr int kCancel = 2;        // Esc; also closes the browse dialog
inline constexpr int kQueryBox = 103;    // the query box's notifications
inline constexpr int kTranslate = 104;   // "Translate!", also posted by Quick Translate
inline constexpr int kClear = 105;       // menu bar: clear the result list
inline constexpr int kBrowse = 106;      // menu bar: browse from the query
inline constexpr int kSpeak = 107;       // menu bar: speak the query
inline constexpr int kHide = 108;        // menu bar: hide the window
inline constexpr int kAbout = 109;       // Dict menu "About..."
inline constexpr int kDirection = 110;   // the direction button
inline constexpr int kPageUp = 121;      // browse dialog buttons, forwarded
inline constexpr int kPageDown = 122;
inline constexpr int kQuickTranslateOff = 125;
inline constexpr int kQuickTranslateButton1 = 126;  // to 129 for buttons 1 to 4
inline constexpr int kQuickTranslateButton4 = 129;
inline constexpr int kPrefixSettings = 130;  // Search menu "Prefix Settings..."
inline constexpr int kFirstLanguage = 200;   // Select Interface: 200 + language index
inline constexpr int kLastLanguage = 209;
inline constexpr int kExit = 1030;        // Dict menu "Exit"; the browse dialog's close
inline constexpr int kLineUp = 14002;
inline constexpr int kLineDown = 14003;
inline constexpr int kHome = 14017;
inline constexpr int kEnd = 14018;
inline constexpr int kDictMenu = 40101;   // menu bar button that opens the Dict menu
inline constexpr int kLoadDictionary = 40103;
inline constexpr int kSearchMenu = 40104;  // menu bar button that opens the Search menu
inline constexpr int kExactSearch = 40107;  // to 40110: 40107 + search method
inline constexpr int kFullSearch = 40110;
inline constexpr int kHelp = 40126;
inline constexpr int kInvisibleListing = 40132;
// The lookup history and the favourites, at the end of the Search menu.
inline constexpr int kBack = 41001;           // Alt+Left: the previous lookup again
inline constexpr int kForward = 41002;        // Alt+Right
inline constexpr int kAddFavourite = 41003;   // Ctrl+D: keep the query and direction
inline constexpr int kHistoryPage = 41004;    // "History..."
inline constexpr int kFavouritesPage = 41005; // "Favourites..."
inline constexpr int kKeepHistory = 41006;    // the "History" setting, checkable

// The query box's notification that it gained the focus.
inline constexpr int kEditSetFocus = 256;

}  // namespace lexvia::command

namespace lexvia {

// The main window's controls.
enum class Control {
  kQueryLabel,
  kQueryBox,         // 103
  kTranslateButton,  // 104
  kDirectionButton,  // 110
  kResultList,       // 123
  kLanguageList,     // 124, never visible
};

// The menus that prepare_menu is asked to prepare.
enum class MenuKind { kDict, kLanguages, kSearch, kQuickTranslate };

// Activation states: by the system or a second start, and by a click.
inline constexpr int kActivated = 1;
inline constexpr int kClickActivated = 2;

// Where an activation came from, as the window system tells it (the
// handheld's message named the window that lost the activation). On a
// desktop the window's own request to come forward is answered later, and
// the focus comes back to it from the program's other windows.
enum class ActivationOrigin {
  kOutside,     // another program, the desktop, a second start
  kOwnRequest,  // the answer to the window's own bring_to_front
  kOwnWindow,   // the help window, a file dialog, a question, the progress dialog
};

// The Quick Translate message as the tray icon sends it.
inline constexpr int kTrayIconId = 5000;
inline constexpr int kTrayTap = 513;

}  // namespace lexvia
