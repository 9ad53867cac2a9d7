#pragma once
#include <QWidget>

namespace orv::app {

// The window shown while the program starts: a JPEG background (decoded
// with libjpeg), the product title and the distributor's picture.
class TSplashform : public QWidget {
    Q_OBJECT
public:
    explicit TSplashform(QWidget* parent = nullptr);
    // The decoded background; null when the picture could not be read.
    const QImage& background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage m_background;
};

// Keeps the splash painted until 2000 ms of the tick counter have passed,
// processing pending messages without sleeping.
void waitWithSplash(quint32 milliseconds = 2000);

} // namespace orv::app
