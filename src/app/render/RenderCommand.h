#pragma once

#include <QStringList>
#include <QTextStream>

namespace kelvaro {

// Exit statuses of kelvaro-render.
inline constexpr int RenderExitOk = 0;
inline constexpr int RenderExitFailure = 1;
inline constexpr int RenderExitUsage = 2;

// The usage text printed by --help and after a usage error.
QString RenderUsage();

// Runs kelvaro-render with the arguments that follow the program name: loads the picture and
// depth map as the editor does, renders the sway frames and writes the frames folder and/or the
// GIF. Help goes to out; notices and the one-line reason of a failure go to err.
int RunRender(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace kelvaro
