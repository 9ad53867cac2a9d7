#pragma once
#include <QByteArray>
#include <QImage>

namespace orv::app {

// Decodes a baseline or progressive JPEG with the IJG library. Damaged or
// truncated data gives a null image, never a crash.
QImage decodeJpeg(const QByteArray& bytes);

} // namespace orv::app
