// A result list or a browse list as the listing drives it: the toolkit-free
// ListControl over a ResultModel and the ResultView that shows it.
#pragma once

#include <string>
#include <utility>

#include "listing/result_list.h"
#include "shell/qt/result_model.h"
#include "shell/qt/result_view.h"

namespace lexvia::qt {

class ResultListControl final : public ListControl {
 public:
  ResultListControl(ResultModel& model, ResultView& view) : model_(model), view_(view) {}
  int count() const override { return model_.rowCount(); }
  void remove_first() override { model_.remove_first(); }
  void remove_all() override { model_.remove_all(); }
  void append(std::u16string text, ColourCode colour) override {
    model_.append(std::move(text), colour);
  }
  std::u16string text(int index) const override { return model_.text(index); }
  ColourCode item_data(int index) const override { return model_.colour_code(index); }
  void scroll_into_view(int index) override;
  void redraw(int index) override;
  int selection_mark() const override { return view_.selection_mark(); }

 private:
  ResultModel& model_;
  ResultView& view_;
  bool scroll_posted_ = false;
};

}  // namespace lexvia::qt
