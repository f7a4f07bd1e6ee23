#include "shell/quick_translate.h"

namespace lexvia {

std::u16string button_key_name(int button) {
  if (button < 1 || button > 4) return {};
  return u"40C" + std::u16string(1, static_cast<char16_t>(u'0' + button));
}

void QuickTranslate::apply(bool on, int button, std::u16string_view tip) {
  if (on) {
    add_tray_icon(tip);
    if (const std::u16string name = button_key_name(button); !name.empty()) remap_button(name);
  } else {
    remove_tray_icon();
    restore_button();
  }
}

void QuickTranslate::add_tray_icon(std::u16string_view tip) {
  if (icon_added_) return;
  // Marked as added whatever the platform says, so the tip keeps the text it
  // had now and a missing tray is reported once.
  if (!platform_.add_tray_icon(tip)) tray_missing_ = true;
  icon_added_ = true;
}

void QuickTranslate::remove_tray_icon() {
  if (icon_added_) platform_.remove_tray_icon();
  icon_added_ = false;
}

void QuickTranslate::remap_button(const std::u16string& key_name) {
  if (button_remapped_) return;
  key_path_ = kButtonKeys + key_name;
  if (!store_.create_key(key_path_)) {
    store_.close_key();
    return;  // tried again at the next refresh
  }
  if (auto value = store_.query_value(u""); value && value->type == StoredValue::Type::kString) {
    saved_value_ = value->text;
  }
  store_.set_value(u"", StoredValue::of(u"\"" + program_ + u"\""));
  store_.close_key();
  button_remapped_ = true;
}

void QuickTranslate::restore_button() {
  if (!button_remapped_) return;
  if (!store_.create_key(key_path_)) {
    store_.close_key();
    return;  // still remapped: a later call tries again
  }
  store_.set_value(u"", StoredValue::of(saved_value_.value_or(std::u16string())));
  store_.close_key();
  saved_value_.reset();
  button_remapped_ = false;
}

}  // namespace lexvia
