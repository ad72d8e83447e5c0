// ToolkitNotices: keeps the toolkit's notices that mean nothing to a program without a
// display off stderr.
//   DropRuntimeDirNotice  installs a message handler that drops the notice that
//                         XDG_RUNTIME_DIR is unset (the toolkit looks for a Wayland
//                         display there, which the command line and the Python module
//                         never use) and passes every other message on
// Call it before the application object is made; calling it again changes nothing.
#pragma once

namespace ormax {

void DropRuntimeDirNotice();

}  // namespace ormax
