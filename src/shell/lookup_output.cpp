#include "shell/lookup_output.h"

#include <utility>

#include "dict/cp1252.h"
#include "settings/dictionary_texts.h"

namespace lexvia {

namespace {
constexpr std::size_t kTitleBytes = 999;  // the title is assembled in 1000 bytes
}  // namespace

std::string title_text(SearchMethod method, std::string_view query,
                       const InterfaceStrings& strings) {
  const int id = static_cast<int>(StringId::kExactSearch) + static_cast<int>(method);
  std::string title = utf16_to_cp1252(strings.view(id));
  title.append(": \"").append(query).append("\"");
  if (title.size() > kTitleBytes) title.resize(kTitleBytes);
  return title;
}

void LookupQueue::reset(std::size_t keep_last) {
  std::lock_guard lock(mutex_);
  findings_.clear();
  first_ = 0;
  keep_last_ = keep_last;
}

void LookupQueue::push(Finding finding) {
  std::lock_guard lock(mutex_);
  findings_.push_back(std::move(finding));
  if (keep_last_ != 0 && findings_.size() - first_ > keep_last_) {
    // Compacted only now and then, so that dropping stays cheap per finding.
    ++first_;
    if (first_ >= keep_last_) {
      findings_.erase(findings_.begin(), findings_.begin() + static_cast<std::ptrdiff_t>(first_));
      first_ = 0;
    }
  }
}

void LookupQueue::title_line(SearchMethod method, std::string_view query) {
  push({Kind::kTitle, static_cast<int>(method), std::string(query)});
}

void LookupQueue::headword_line(std::string_view headword) {
  push({Kind::kHeadword, 0, std::string(headword)});
}

void LookupQueue::translation_line(std::string_view translation) {
  push({Kind::kTranslation, 0, std::string(translation)});
}

void LookupQueue::report_dictionary_error(DictionaryError error, const DictionaryPath& path) {
  push({Kind::kError, static_cast<int>(error), path.value_or(std::string()), path.has_value()});
}

void LookupQueue::deliver(LineSink& lines, const InterfaceStrings& strings) {
  std::vector<Finding> taken;
  std::size_t first = 0;
  {
    std::lock_guard lock(mutex_);
    taken.swap(findings_);
    first = std::exchange(first_, 0);
  }
  ErrorLines errors(lines, strings);
  for (std::size_t i = first; i < taken.size(); ++i) {
    const Finding& f = taken[i];
    switch (f.kind) {
      case Kind::kTitle:
        lines.append_formatted_line(
            "%s", title_text(static_cast<SearchMethod>(f.number), f.text, strings),
            ColourCode::kTitle);
        break;
      case Kind::kHeadword:
        lines.append_formatted_line("  %s", f.text, ColourCode::kHeadword);
        break;
      case Kind::kTranslation:
        lines.append_formatted_line("    %s", f.text, ColourCode::kTranslation);
        break;
      case Kind::kError:
        errors.report_dictionary_error(static_cast<DictionaryError>(f.number),
                                       f.has_path ? DictionaryPath(f.text) : std::nullopt);
        break;
    }
  }
  // The next lookup queues into the same storage rather than growing anew.
  taken.clear();
  std::lock_guard lock(mutex_);
  if (findings_.empty()) findings_.swap(taken);
}

}  // namespace lexvia
