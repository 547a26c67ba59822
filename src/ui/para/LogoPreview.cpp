// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/LogoPreview.h"

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <exception>

#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"
#include "shared/SharedTexts.h"

namespace plenar {

namespace {

constexpr int kPreviewSize = 160;

QString shared(TextId id) {
  return QString::fromStdString(text(id));
}

}  // namespace

LogoPreview::LogoPreview(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnl_LogoPreview"));
  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("img_LogoPreview"));
  picture_->setFixedSize(kPreviewSize, kPreviewSize);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setFrameShape(QFrame::StyledPanel);
  info_ = new QLabel(this);
  info_->setObjectName(QStringLiteral("lbl_LogoInfo"));
  budget_ = new QLabel(this);
  budget_->setObjectName(QStringLiteral("lbl_LogoBudget"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(picture_);
  column->addWidget(info_);
  column->addWidget(budget_);
  column->addStretch(1);
}

const LogoPreview::Converted* LogoPreview::convert(const QString& path) {
  QFileInfo file(path);
  if (!file.isFile()) return nullptr;
  const qint64 stamp = file.lastModified().toMSecsSinceEpoch() ^ file.size();
  auto it = cache_.find(path);
  if (it != cache_.end() && it->first == stamp) return &it->second;

  Converted c;
  try {
    if (auto image = LogoImage::load(path.toStdString())) {
      c.width = image->width();
      c.height = image->height();
      c.rasterBytes = static_cast<qint64>(image->rasterSize());
      // The raster as the printer lays it out: whole bytes wide, whole bands high.
      const int w = static_cast<int>(image->widthBytes() * 8);
      const int h = static_cast<int>(image->heightBands() * 8);
      c.raster = QImage(w, h, QImage::Format_Mono);
      c.raster.setColor(0, qRgb(255, 255, 255));
      c.raster.setColor(1, qRgb(0, 0, 0));
      c.raster.fill(0);
      for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
          if (image->dot(x, y)) c.raster.setPixel(x, y, 1);
        }
      }
    } else {
      return nullptr;
    }
  } catch (const std::exception& e) {
    c.error = QString::fromStdString(e.what());
  }
  it = cache_.insert(path, {stamp, std::move(c)});
  return &it->second;
}

void LogoPreview::display(const QStringList& paths, int current) {
  listBytes_ = static_cast<qint64>(kLogoDirectorySize);
  for (const QString& path : paths) {
    if (const Converted* c = convert(path)) listBytes_ += c->rasterBytes;
  }
  const qint64 limit = static_cast<qint64>(kLogoFileLimit);
  budget_->setText(shared(TextId::LogoBudget)
                       .arg(QString::number(static_cast<double>(listBytes_) / 1024.0, 'f', 1))
                       .arg(limit / 1024));
  // Over the limit the download is refused: say so before the user tries.
  budget_->setStyleSheet(listBytes_ > limit ? QStringLiteral("color: #b00020;") : QString());

  const Converted* c = current >= 0 && current < paths.size() ? convert(paths[current]) : nullptr;
  if (!c) {
    picture_->clear();
    info_->clear();
    return;
  }
  if (!c->error.isEmpty()) {
    picture_->clear();
    info_->setText(c->error);
    return;
  }
  picture_->setPixmap(QPixmap::fromImage(c->raster.scaled(
      kPreviewSize - 4, kPreviewSize - 4, Qt::KeepAspectRatio, Qt::FastTransformation)));
  info_->setText(shared(TextId::LogoInfo).arg(c->width).arg(c->height).arg(c->rasterBytes));
}

}  // namespace plenar
