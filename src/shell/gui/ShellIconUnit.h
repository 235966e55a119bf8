#pragma once
// The picture of a shell icon handle (SHGetFileInfo), 16 or 32 pixels.

#include <QImage>

#include "platform/shell/ShellFileInfo.h"

// Null for a handle that is not live.
QImage ShellIconImage(win::HICON icon, bool large);
