// Browse mode: one page of the index section at a time, from the browse
// position, moved by home, end, ten records or one record.
#include <limits>

#include "search/open_dictionary.h"
#include "search/search_engine.h"
#include "search/section_walk.h"

namespace lexvia {

namespace {

constexpr int kPageStep = 10;

// One step back from `position`: the previous record, or the section start
// when the step would reach it or go before it.
std::uint64_t step_up(WindowedReader& reader, std::uint64_t position, const SectionSpan& s,
                      bool& at_start) {
  const auto before = record_before(reader, s, position);
  at_start = !before || *before <= s.start;
  return at_start ? s.start : *before;
}

// One step forward: the next record, unless the next marker is the terminal
// marker (or beyond), where the position stays.
std::uint64_t step_down(WindowedReader& reader, std::uint64_t position, const SectionSpan& s,
                        bool& at_end) {
  const std::uint64_t next = next_marker(reader, position + 1);
  at_end = next >= s.end;
  return at_end ? position : next;
}

}  // namespace

void SearchEngine::list_browse_page(const OpenDictionary& dict, std::uint64_t position) {
  const SectionSpan& section = dict.section();
  s_.state.browse_position = position <= std::numeric_limits<std::int64_t>::max()
                                 ? static_cast<std::int64_t>(position)
                                 : -1;
  s_.state.result_count = 0;
  s_.state.result_limit = s_.state.browse_page_size;
  DecodedText headword;
  for (std::uint64_t p = position; p < section.end; p = next_marker(s_.index_reader, p + 1)) {
    if (s_.state.result_count >= s_.state.result_limit) return;
    if (!decode_at(s_.translation_reader, p, dict.own(), headword)) return;
    s_.out.headword_line(headword.view());
    ++s_.state.result_count;
    if (s_.state.result_count < s_.state.result_limit) list_translations(dict, p);
  }
}

void SearchEngine::browse_move(Direction direction, BrowseMove move) {
  if (s_.state.browse_position == -1) return;
  OpenDictionary dict(s_.index_reader, s_.translation_reader);
  if (!open(dict, direction)) return;
  const SectionSpan& s = dict.section();
  auto p = static_cast<std::uint64_t>(s_.state.browse_position);
  bool stop = false;
  switch (move) {
    case BrowseMove::kHome:
      p = s.start;
      break;
    case BrowseMove::kEnd: {
      auto last = s.end == 0 ? std::nullopt : previous_marker(s_.index_reader, s.end - 1);
      p = last && *last >= s.start ? *last : s.start;
      break;
    }
    case BrowseMove::kPageUp:
      for (int i = 0; i < kPageStep && !stop; ++i) p = step_up(s_.index_reader, p, s, stop);
      break;
    case BrowseMove::kPageDown:
      for (int i = 0; i < kPageStep && !stop; ++i) p = step_down(s_.index_reader, p, s, stop);
      break;
    case BrowseMove::kLineUp:
      p = step_up(s_.index_reader, p, s, stop);
      break;
    case BrowseMove::kLineDown:
      p = step_down(s_.index_reader, p, s, stop);
      break;
  }
  list_browse_page(dict, p);
}

void SearchEngine::list_page_again(Direction direction) {
  if (s_.state.browse_position == -1) return;
  OpenDictionary dict(s_.index_reader, s_.translation_reader);
  if (!open(dict, direction)) return;
  list_browse_page(dict, static_cast<std::uint64_t>(s_.state.browse_position));
}

}  // namespace lexvia
