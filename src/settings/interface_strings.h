// The interface strings: 35 texts with the ids 40001 to 40035, looked up by id
// each time they are shown, so that a change of interface language shows at
// once.
#pragma once

#include <string>

namespace lexvia {

inline constexpr int kFirstStringId = 40001;
inline constexpr int kLastStringId = 40035;

// Ids used outside the settings.
inline constexpr int kStringReady = 40023;
inline constexpr int kStringExactSearch = 40003;  // + method for methods 0 to 3
inline constexpr int kStringFileError = 40027;    // "Dictionary File Error #%d"
inline constexpr int kStringTranslating = 40030;
inline constexpr int kStringDictionaryLine = 40034;

class InterfaceStrings {
 public:
  virtual ~InterfaceStrings() = default;
  // The text of the id; the empty text for an id without one.
  virtual std::u16string interface_string(int id) const = 0;
};

// The built-in English table.
class BuiltinStrings final : public InterfaceStrings {
 public:
  std::u16string interface_string(int id) const override;
};

// Fills a format's placeholders in order: %d with the next number, %s and %S
// with the next text, %% with a percent sign. A placeholder without an
// argument stays empty, so a translator's format cannot read past what the
// caller gave. The result is cut at 259 units.
std::u16string format_interface_text(std::u16string_view format,
                                     std::initializer_list<std::u16string_view> texts,
                                     std::initializer_list<long long> numbers);

}  // namespace lexvia
