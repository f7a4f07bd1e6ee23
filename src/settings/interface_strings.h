// The interface strings: 36 texts with the ids 40001 to 40036, looked up by id
// each time they are shown, so that a change of interface language shows at
// once.
#pragma once

#include <string>

namespace lexvia {

inline constexpr int kFirstStringId = 40001;
inline constexpr int kLastStringId = 40054;

// The 36 interface strings, numbered as the resources and modules number them.
enum class StringId : int {
  kWordOrPhrase = 40001,        // "Word or Phrase:"
  kTranslate = 40002,           // "Translate!"
  kExactSearch = 40003,         // the method names, 40003 + method
  kExtendedSearch = 40004,
  kPhraseSearch = 40005,
  kFullSearch = 40006,
  kQuickTranslate = 40007,      // submenu title and tray tip
  kButton1 = 40008,             // "Button #1" to "Button #4"
  kButton2 = 40009,
  kButton3 = 40010,
  kButton4 = 40011,
  kOff = 40012,
  kPrefixSettings = 40013,      // "Prefix Settings..."
  kPrefixes1 = 40014,           // "Prefixes:"
  kPrefixes2 = 40015,
  kLoadDictionary = 40016,      // "Load Dictionary..."
  kSelectInterface = 40017,
  kDictMenu = 40018,            // "Dict"
  kSearchMenu = 40019,          // "Search"
  kAbout = 40020,               // "About..."
  kHelp = 40021,                // "Help..."
  kExit = 40022,
  kReady = 40023,
  kConfirmSave = 40024,         // "Are you sure you want to save these settings?"
  kReset = 40025,               // "Reset!"
  kInvisibleListing = 40026,
  kFileError = 40027,           // "Dictionary File Error #%d"
  kBrowsing = 40028,            // "Browsing..."
  kSynthetizingSpeech = 40029,  // "Synthetizing Speech..."
  kTranslating = 40030,         // "Translating..."
  kDictionaryFile = 40031,      // "Dictionary": file chooser title and filter name
  kSpeechLibraryFile = 40032,   // "Speech Library"
  kCancel = 40033,
  kDictionaryLine = 40034,      // "Selected Dictionary: %S-%S\nContains %d expression pairs"
  kUnused = 40035,              // "-": keeps module lines numbered
  kFormOf = 40036,              // "%s: form of \"%s\"": the query, and the base form shown for it
  kHistoryItem = 40037,  // "History...": the menu entry that opens the history page
  kFavouritesItem = 40038,
  kAddFavourite = 40039,
  kBack = 40040,
  kForward = 40041,
  kKeepHistory = 40042,
  kHistoryTitle = 40043,  // "History": the history page's title
  kFavouritesTitle = 40044,
  kClearHistory = 40045,
  kRemove = 40046,
  kNoHistory = 40047,
  kNoFavourites = 40048,
  kFavouriteKept = 40049,  // "Kept as a favourite: %s": the query
  kFavouriteAlready = 40050,
  kHistoryProblem = 40051,  // "...: %s": what went wrong
  kNoWordForms = 40052,
  kNoTray = 40053,
  kWaylandQuickTranslate = 40054,
};

class InterfaceStrings {
 public:
  virtual ~InterfaceStrings() = default;
  // The text of the id, valid until the strings next change; the empty
  // text for an id without one. Read without a copy: every lookup's title
  // and every refresh of the window read strings.
  virtual std::u16string_view view(int id) const = 0;
  std::u16string interface_string(int id) const { return std::u16string(view(id)); }
  std::u16string text(StringId id) const { return interface_string(static_cast<int>(id)); }
  std::u16string_view view(StringId id) const { return view(static_cast<int>(id)); }
};

// The built-in English table.
class BuiltinStrings final : public InterfaceStrings {
 public:
  using InterfaceStrings::view;
  std::u16string_view view(int id) const override;
};

// Fills a format's placeholders in order: %d with the next number, %s and %S
// with the next text, %% with a percent sign. A placeholder without an
// argument stays empty, so a translator's format cannot read past what the
// caller gave. The result is cut at 259 units.
std::u16string format_interface_text(std::u16string_view format,
                                     std::initializer_list<std::u16string_view> texts,
                                     std::initializer_list<long long> numbers);

}  // namespace lexvia
