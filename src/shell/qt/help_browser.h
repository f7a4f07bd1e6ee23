// The help window: the program's help pages, shown as rich text with their
// pictures and links.
#pragma once

#include <QTextBrowser>

namespace lexvia::qt {

// The help pages and their pictures are read the way every other file is:
// without blocking, regular files only, and no more than a help page needs.
// A page that cannot be read says why in its place.
class HelpBrowser final : public QTextBrowser {
  Q_OBJECT

 public:
  using QTextBrowser::QTextBrowser;

  QVariant loadResource(int type, const QUrl& name) override;
};

}  // namespace lexvia::qt
