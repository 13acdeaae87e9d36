#pragma once

#include <QStringList>
#include <QTextStream>

namespace kelvaro {

// Exit statuses of kelvaro-render.
inline constexpr int RenderExitOk = 0;
inline constexpr int RenderExitFailure = 1;
inline constexpr int RenderExitUsage = 2;

// Runs kelvaro-render with the arguments that follow the program name (file names as
// FileNameFromBytes gives them, so names that are not UTF-8 keep their bytes): loads each picture
// and its depth map as the editor does, renders the sway frames and writes the animation and/or
// the frames folder. Help and the version go to out; the one-line reason of each failure goes to
// err, and with progressLine (err is a terminal) a "k/n NAME" line that is cleared at the end.
int RunRender(const QStringList& arguments, QTextStream& out, QTextStream& err,
              bool progressLine = false);

} // namespace kelvaro
