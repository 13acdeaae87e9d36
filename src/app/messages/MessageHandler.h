#pragma once

namespace kelvaro {

// Routes the messages Qt, its image plug-ins and the image libraries print (libpng, libjpeg,
// libtiff warnings): a decode in progress on the thread gets them (a file cut short is refused
// from them), and none reaches stderr unless `verbose`. The programs speak to the user in their
// own words only: one line on the command line, one message box in the editor. Fatal messages
// still end the program as Qt's do. Calling again only changes `verbose`.
void InstallMessageHandler(bool verbose);

// Some libraries write to the process's stderr themselves (libpng's errors, libgomp). For a
// program whose stderr is read by people or scripts: moves descriptor 2 aside to a scratch file
// and returns a descriptor of the real stderr for the program's own lines (-1 when it cannot, and
// then nothing moves). Sanitizer reports keep the real stderr. InstallMessageHandler(true) puts
// descriptor 2 back.
int SetLibraryOutputAside();

} // namespace kelvaro
