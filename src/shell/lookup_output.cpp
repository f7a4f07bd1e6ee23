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

std::string base_form_text(std::string_view query, std::string_view base,
                           const InterfaceStrings& strings) {
  std::string text = utf16_to_cp1252(format_interface_text(
      strings.view(StringId::kFormOf), {cp1252_to_utf16(query), cp1252_to_utf16(base)}, {}));
  if (text.size() > kTitleBytes) text.resize(kTitleBytes);
  return text;
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
  push({Finding::Kind::kTitle, method, {}, std::string(query)});
}

void LookupQueue::headword_line(std::string_view headword) {
  push({Finding::Kind::kHeadword, {}, {}, std::string(headword)});
}

void LookupQueue::translation_line(std::string_view translation) {
  push({Finding::Kind::kTranslation, {}, {}, std::string(translation)});
}

void LookupQueue::base_form_line(std::string_view query, std::string_view base) {
  Finding finding{Finding::Kind::kBaseForm, {}, {}, std::string(base)};
  finding.inflected = query;
  push(std::move(finding));
}

void LookupQueue::report_dictionary_error(DictionaryError error, const DictionaryPath& path) {
  push({Finding::Kind::kError, {}, error, path.value_or(std::string()), path.has_value()});
}

void LookupQueue::deliver(FindingSink& sink) {
  std::vector<Finding> taken;
  std::size_t first = 0;
  {
    std::lock_guard lock(mutex_);
    taken.swap(findings_);
    first = std::exchange(first_, 0);
  }
  for (std::size_t i = first; i < taken.size(); ++i) sink.deliver(taken[i]);
  // The next lookup queues into the same storage rather than growing anew.
  taken.clear();
  std::lock_guard lock(mutex_);
  if (findings_.empty()) findings_.swap(taken);
}

ColourCode colour_of(Finding::Kind kind) {
  switch (kind) {
    case Finding::Kind::kTitle:
    case Finding::Kind::kBaseForm:
      return ColourCode::kTitle;
    case Finding::Kind::kHeadword:
      return ColourCode::kHeadword;
    case Finding::Kind::kTranslation:
      return ColourCode::kTranslation;
    case Finding::Kind::kError:
      break;
  }
  return ColourCode::kError;
}

void append_finding_line(LineSink& lines, const Finding& finding, const InterfaceStrings& strings) {
  const ColourCode colour = colour_of(finding.kind);
  switch (finding.kind) {
    case Finding::Kind::kTitle:
      lines.append_formatted_line("%s", title_text(finding.method, finding.text, strings), colour);
      break;
    case Finding::Kind::kBaseForm:
      lines.append_formatted_line("%s", base_form_text(finding.inflected, finding.text, strings),
                                  colour);
      break;
    case Finding::Kind::kHeadword:
      lines.append_formatted_line("  %s", finding.text, colour);
      break;
    case Finding::Kind::kTranslation:
      lines.append_formatted_line("    %s", finding.text, colour);
      break;
    case Finding::Kind::kError:
      ErrorLines(lines, strings).report_dictionary_error(finding.error, finding.path());
      break;
  }
}

}  // namespace lexvia
