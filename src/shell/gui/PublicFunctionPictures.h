#pragma once
// The program's own pictures, embedded as Qt resources: named JPEG and GIF
// pictures at ":/<type>/<name>" (":/JPG/Scan", ":/GIF/ScanInProcess1"),
// image-list strips at ":/ImageList/<list name>" and the program icon.

#include <QIcon>
#include <QImage>
#include <QString>
#include <memory>
#include <string>

#include "shell/gui/GifDecoder.h"

class TImageEx;

QString PictureResourcePath(const std::string& type, const std::string& name);

// Decoded resource pictures; null when missing or damaged. Results are kept,
// so asking again is cheap.
QImage LoadJpegPicture(const std::string& name, const std::string& type = "JPG");
std::shared_ptr<const GifAnimation> LoadGifAnimation(const std::string& name);

// Unless Image's Tag is 1: replaces its picture by the JPEG resource of that
// name and type. True when the picture was replaced; a missing or damaged
// resource leaves the image as it was.
bool LoadJpegResource(TImageEx* Image, const std::string& Name, const std::string& ResourceType);
// Plays the GIF resource of that name in Image. False (image unchanged) when
// it is missing or damaged.
bool LoadGifResource(const std::string& Name, TImageEx* Image);

QIcon ProgramIcon();
