// ToolkitNotices: the handler keeps the one it replaced and hands it everything else.
//   DropRuntimeDirNotice
#include "qt/ToolkitNotices.h"

#include <QString>
#include <QtGlobal>

namespace ormax {

namespace {

QtMessageHandler toolkitHandler = nullptr;
bool installed = false;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  toolkitHandler(type, context, text);
}

}  // namespace

void DropRuntimeDirNotice() {
  if (installed) return;
  installed = true;
  toolkitHandler = qInstallMessageHandler(Filter);
}

}  // namespace ormax
