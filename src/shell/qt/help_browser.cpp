#include "shell/qt/help_browser.h"

#include <QUrl>
#include <cstdint>
#include <string>

#include "dict/file_source.h"
#include "shell/qt/path.h"

namespace lexvia::qt {

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
  if (!name.isLocalFile()) return QTextBrowser::loadResource(type, name);
  constexpr std::uint64_t kLargestHelpFile = 16u << 20;
  std::string why;
  const auto bytes = read_whole_file(to_path(name.toLocalFile()), kLargestHelpFile, &why);
  if (bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes->data()),
                      static_cast<qsizetype>(bytes->size()));
  }
  if (type != QTextDocument::HtmlResource) return {};
  return QStringLiteral("<p>The help file %1 cannot be shown: %2.</p>")
      .arg(name.toLocalFile().toHtmlEscaped(), QString::fromStdString(why).toHtmlEscaped());
}

}  // namespace lexvia::qt
