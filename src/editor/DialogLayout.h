#pragma once

#include <QSize>
#include <QString>

namespace kelvaro {

// Control ids of the editor window. Each control carries the object name ControlName(id), so
// that code and tests can find it by id.
namespace ctrl {
inline constexpr int Pen = 1001;
inline constexpr int Eraser = 1002;
inline constexpr int Fill = 1003;
inline constexpr int Menu = 1006;
inline constexpr int Thickness = 1009;
inline constexpr int RaisedLabel = 1012; // "凸": the palette bar starts at its right edge
inline constexpr int SunkenLabel = 1013; // "凹": the palette bar ends before it
inline constexpr int ShowDepth = 1015;
inline constexpr int ShowPicture = 1016;
inline constexpr int Undo = 1017;
inline constexpr int Redo = 1018;
inline constexpr int ProgressBar = 1019;
// The second row: the tools that look at the picture and their options.
inline constexpr int Gradient = 1101;
inline constexpr int FillModeLabel = 1102;
inline constexpr int FillMode = 1103; // what the fill spreads over: map or picture colour
inline constexpr int ToleranceLabel = 1104;
inline constexpr int Tolerance = 1105; // the picture-colour fill's tolerance, 0 to 255
inline constexpr int ProtectNearer = 1106;
inline constexpr int Snap = 1107;
} // namespace ctrl

// Command ids of the popup menu. A menu action carries its id as data and the object name
// CommandName(id).
namespace cmd {
inline constexpr int OpenPicture = 32771;
inline constexpr int SaveDepth = 32772;
inline constexpr int LoadDepth = 32773;
inline constexpr int Exit = 32776;
inline constexpr int GenerateGif = 32777;
inline constexpr int Clear = 32779;
inline constexpr int TogglePicture = 32780;
inline constexpr int ToggleDepth = 32781;
inline constexpr int Undo = 32783;
inline constexpr int Redo = 32784;
inline constexpr int ToggleFaint = 32785;
inline constexpr int Preview = 32786;
inline constexpr int LoadGreyDepth = 32787;
// Commands of the keyboard and the control row, not in the popup menu.
inline constexpr int SelectPen = 32788;
inline constexpr int SelectEraser = 32789;
inline constexpr int SelectFill = 32790;
inline constexpr int Thinner = 32791; // one thickness step down
inline constexpr int Thicker = 32792; // one thickness step up
// Level i is selected by SelectLevel0 + i.
inline constexpr int SelectLevel0 = 32800;
// Painting that looks at the picture.
inline constexpr int SelectGradient = 32901;
inline constexpr int SnapToEdges = 32902;   // in the "立体情報" submenu
inline constexpr int ToggleProtect = 32903; // "手前を保護"
// Zoom: one level in or out, back to 100 %, the whole picture in the window.
inline constexpr int ZoomIn = 32860;
inline constexpr int ZoomOut = 32861;
inline constexpr int ZoomActual = 32862;
inline constexpr int ZoomFit = 32863;
// How the depth colours and the picture are shown together: every third column of the picture
// between the map's (the default), or the colours blended over the whole picture.
inline constexpr int ViewInterleaved = 32904;
inline constexpr int ViewOverlay = 32905;
inline constexpr int OverlayFainter = 32906; // one opacity step down, showing the overlay
inline constexpr int OverlayStronger = 32907;
// The overlay's opacity i * 10 % is chosen by OverlayPercent0 + i, i = 0 ... 10.
inline constexpr int OverlayPercent0 = 32910;
} // namespace cmd

inline QString ControlName(int id) {
    return QStringLiteral("ctrl_%1").arg(id);
}
inline QString CommandName(int id) {
    return QStringLiteral("cmd_%1").arg(id);
}

namespace layout {

// Window sizes in this program are given as outer sizes of a classic fixed Windows dialog frame:
// a 3-px frame on every side and an 18-px caption above the client area. Qt sizes a window by its
// client area and leaves the frame to the window manager, so every outer size goes through these
// two functions, and formulas written for outer sizes (the canvas placement after a picture load:
// left (W - w) / 2 - 3, top (H - h - 42) / 2 + 21) give the same client coordinates as under that
// frame. Example: outer 656 x 552 is a client area of 650 x 528.
inline constexpr int FrameThickness = 3;
inline constexpr int CaptionHeight = 18;

constexpr QSize OuterToClient(QSize outer) {
    return QSize(outer.width() - 2 * FrameThickness,
                 outer.height() - CaptionHeight - 2 * FrameThickness);
}
constexpr QSize ClientToOuter(QSize client) {
    return QSize(client.width() + 2 * FrameThickness,
                 client.height() + CaptionHeight + 2 * FrameThickness);
}

// The editor window's outer size at start and its width whatever picture is loaded, both without
// the second row of controls and the status line, which add their heights. They are also the
// smallest sizes the user can give the window.
inline constexpr QSize StartOuterSize(656, 552);
// The second row of controls below the first: the window is this much higher than its outer
// size says, and everything below the rows (the canvas) this much lower.
inline constexpr int OptionRowHeight = 24;

// The canvas area runs from client y CanvasAreaTop, below the row of controls, to the status
// line. A canvas that fits is centred between client y CanvasCentreTop and the status line, which
// at 100 % puts it where the placement formulas above say: so the area's centre is lifted by the
// difference.
inline constexpr int CanvasAreaTop = 33 + OptionRowHeight;
inline constexpr int CanvasCentreTop = 24 + OptionRowHeight;
} // namespace layout

} // namespace kelvaro
