// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/ParaTab.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "ui/para/ParaHost.h"

namespace plenar {

QString captionOf(const QWidget* w) {
  QString text;
  if (auto* l = qobject_cast<const QLabel*>(w)) {
    text = l->text();
  } else if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
    text = b->text();
  } else if (auto* g = qobject_cast<const QGroupBox*>(w)) {
    text = g->title();
  }
  text = text.remove(QLatin1Char('&')).trimmed();
  // "波特率：" reads as "波特率".
  if (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A))) text.chop(1);
  return text.trimmed();
}

ParaTab::ParaTab(const char* name, ParaHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QString::fromLatin1(name));
}

void ParaTab::refresh() {
  // Every labelled input is named after its label as it reads now (list boxes would otherwise
  // be named after their current item).
  for (QLabel* l : findChildren<QLabel*>()) {
    if (QWidget* buddy = l->buddy()) buddy->setAccessibleName(captionOf(l));
  }
  for (const Description& d : descriptions_) {
    QStringList parts;
    for (QWidget* source : d.sources) {
      if (QString caption = captionOf(source); !caption.isEmpty()) parts << caption;
    }
    QString text = parts.join(QStringLiteral(", "));
    if (!d.suffix.isEmpty()) text += QLatin1Char(' ') + d.suffix;
    if (d.isName) {
      d.target->setAccessibleName(text);
    } else {
      d.target->setAccessibleDescription(text);
    }
  }
}

void ParaTab::onAction(QAbstractButton* button, std::function<void()> action) {
  actions_.push_back(button);
  connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void ParaTab::describeBy(QAbstractButton* button, std::initializer_list<QWidget*> sources) {
  descriptions_.push_back({button, sources, {}, false});
}

void ParaTab::nameBy(QWidget* input, QWidget* source, const QString& suffix) {
  descriptions_.push_back({input, {source}, suffix, true});
}

void ParaTab::checkAddressOnLeave(QLineEdit* edit, AddressField field) {
  addressFields_.emplace_back(edit, field);
  edit->installEventFilter(this);
}

bool ParaTab::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusOut || checking_) return QWidget::eventFilter(watched, event);
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  // Another window (a message box, the file dialog) or a popup taking the focus is not the user
  // leaving the field; neither is the window closing.
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !isVisible()) {
    return QWidget::eventFilter(watched, event);
  }
  for (auto& [edit, field] : addressFields_) {
    if (edit != watched) continue;
    auto refusal = checkAddressField(field, edit->text().toStdString());
    if (!refusal) break;
    checking_ = true;
    const QString message = QString::fromStdString(refusal->message);
    // After the focus change is complete: the box, then the focus back in the field.
    QTimer::singleShot(0, this, [this, edit = edit, message] {
      host_.showMessage(message);
      edit->setFocus(Qt::OtherFocusReason);
      checking_ = false;
    });
    break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace plenar
