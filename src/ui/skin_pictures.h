#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QString>

namespace skin {

// A picture file exactly as stored ("skin.png", "skin@2x.png", ...).
QImage Original(const QString& fileName);
// A picture of the skin by name ("skin", "arrow_hover", ...): the @2x drawing on dense screens.
QPixmap Picture(const QString& name);
// The window's shape: every pixel of the 1x skin except those of exactly `keyColour`.
QRegion Shape(QRgb keyColour);
// The pointing hand of the minimise and exit hot spots, hot spot at the fingertip.
QCursor HandCursor();
QIcon WindowIcon();

}  // namespace skin
